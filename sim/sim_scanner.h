// SPDX-License-Identifier: Apache-2.0
// A simulated 2D barcode scanner on a pseudo-terminal, or on an in-process
// line where there are none (Windows).
//
// The scanner side of the wire protocol runs on the master side of a pty in
// its own thread; the program under test opens the slave path (or the
// line's "sim:" name) like any serial port. Everything the simulator knows comes from the documented
// scanner behaviour, so it stays an independent check of the tool.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_port.h"

namespace varnet::sim {

// Plausible factory contents of the two blocks (model name and code are
// written over the parameter block from the profile).
std::vector<uint8_t> DefaultParamBlock();
std::vector<uint8_t> DefaultFormatBlock();

struct Profile {
  int deviceType = 1;               // answer to the device type query
  std::string modelName = "HS-2D";  // parameter block bytes 0..15
  uint8_t modelCode = 1;            // parameter block byte 16
  std::string firmware = "HS2D-V2.41.07";
  std::string serial = "SN2D00012345";                      // answered only with a format block
  bool hasFormatBlock = true;                               // without: format block requests are refused
  std::vector<uint8_t> paramBlock = DefaultParamBlock();    // >= 192 bytes
  std::vector<uint8_t> formatBlock = DefaultFormatBlock();  // >= 627 bytes
  // 0: a USB virtual port, answers at any line speed. Otherwise the scanner
  // answers only while the pty's speed equals this rate.
  uint32_t rs232Baud = 0;
};

// Named profiles: "usb", "legacy", "code2-qb55", "code5", "code6", "rs232".
// An unknown name gives the "usb" profile.
Profile ProfileNamed(const std::string& name);
std::vector<std::string> ProfileNames();

// Which block a block fault applies to.
enum class BlockKind { Any, Param, Format };

// Where the block write handshake goes wrong. Late: "*ack" or "*echo" comes
// only after handshakeLateMs.
enum class HandshakeFault { None, NoAck, NoEcho, NoFinalAck, NakFinal, LateAck, LateEcho };

// Knobs that tests flip while the simulator runs. Plain fields are atomics;
// the few composite ones sit behind a mutex.
class Faults {
 public:
  std::atomic<bool> silent{false};            // answer nothing at all
  std::atomic<bool> refuseAll{false};         // NakPattern to everything that expects an answer
  std::atomic<bool> leaveUnacked{false};      // commands that are acknowledged get no ack
  std::atomic<bool> applyUnacked{true};       // ... and are still carried out
  std::atomic<int> deviceTypeOverride{-1};    // >= 0: answer this device type
  std::atomic<bool> badReplyChecksum{false};  // text and device type replies
  std::atomic<int> replyDelayMs{0};           // before every reply
  std::atomic<int> slowBytesMs{0};            // between the bytes of every reply

  // Block reads (0E 0D 08 / 0E 0D 0A).
  std::atomic<BlockKind> blockFaultKind{BlockKind::Any};
  std::atomic<int> blockShortBy{0};              // send this many payload bytes fewer than announced
  std::atomic<int64_t> blockAnnounceLength{-1};  // >= 0: announce this length instead
  std::atomic<int> paramPayloadLength{-1};       // >= 0: send the parameter block cut or padded to this length

  // Block writes (0E 0C 08 / 0E 0C 0A).
  std::atomic<HandshakeFault> handshakeFault{HandshakeFault::None};
  std::atomic<int> handshakeLateMs{380};
  std::atomic<int> storeDifferentByteAt{-1};  // >= 0: ack, but store this payload byte changed

  // Image stream (0E 0D 07).
  std::atomic<int> narrowWidth{0};  // > 0 with narrowHeight: send this centre window of the frame
  std::atomic<int> narrowHeight{0};
  std::atomic<bool> imageFirst{false};          // image block before the decode-result block
  std::atomic<bool> noBarcode{false};           // nothing decoded: decode time 0, corners 0
  std::atomic<bool> captureNak{false};          // NakPattern instead of a capture
  std::atomic<bool> captureSilent{false};       // no answer to a capture request
  std::atomic<int> shortImageBy{0};             // stop the JPEG this many bytes early
  std::atomic<int> slowImageBytesMs{0};         // between a capture's JPEG bytes (its header at once)
  std::atomic<int> shortDecodeBy{0};            // stop the decoded data this many bytes early
  std::atomic<int> garbageBetweenBlocks{0};     // this many junk bytes between the two blocks
  std::atomic<int64_t> announcedImageSize{-1};  // >= 0: announce this image size instead

  // Short commands (P1 P2 P3) answered with NakPattern and not carried out;
  // so is a record command holding a record A B V... with A B V = P1 P2 P3.
  void RefuseCommand(uint8_t p1, uint8_t p2, uint8_t p3);
  void ClearRefused();
  bool IsRefused(uint8_t p1, uint8_t p2, uint8_t p3) const;

  // Bytes sent in front of every reply.
  void SetGarbagePrefix(std::vector<uint8_t> bytes);
  std::vector<uint8_t> GarbagePrefix() const;

 private:
  mutable std::mutex mutex_;
  std::set<uint32_t> refused_;
  std::vector<uint8_t> garbage_;
};

// What one capture request produced (for tests that compare with the JPEG).
struct CaptureInfo {
  std::string text;          // decoded data ("" when nothing was decoded)
  uint16_t corners[8] = {};  // x0 y0 .. x3 y3 in 1280 x 720 frame pixels
  uint32_t decodeTimeMs = 0;
  uint16_t exposure = 0;
  uint8_t gain = 0;
  int width = 0, height = 0;  // of the JPEG sent
};

class SimScanner {
 public:
  explicit SimScanner(Profile p = {}, Transport transport = DefaultTransport());
  ~SimScanner();  // stops the thread, closes the port
  SimScanner(const SimScanner&) = delete;
  SimScanner& operator=(const SimScanner&) = delete;

  // Opens the pty (unless one is still open from an earlier Start) and starts
  // serving it. False when no pty could be made.
  bool Start();
  std::string SlavePath() const;  // "/dev/pts/N", "sim:usb-1"
  // Stops serving; the port stays present (a scanner that hangs). Start()
  // serves the same port again.
  void Stop();
  // The port goes away: stop serving and close both sides of the pty, so the
  // tool's open descriptor sees a hang-up and the path disappears.
  void Vanish();

  // Every complete frame the tool sent (short, value or record command, as
  // sent, checksum included) and each raw write of the block handshake
  // (header, payload), one entry each, in arrival order.
  std::vector<std::vector<uint8_t>> Received() const;
  void ClearReceived();
  // Waits until at least n entries have been received; false on time-out.
  bool WaitReceived(size_t n, int timeoutMs) const;

  std::vector<uint8_t> ParamBlock() const;
  std::optional<std::vector<uint8_t>> FormatBlock() const;
  void SetParamBlock(std::vector<uint8_t> block);
  void SetFormatBlock(std::optional<std::vector<uint8_t>> block);
  // The blocks a restore of the defaults goes back to.
  std::vector<uint8_t> DefaultParam() const;
  std::optional<std::vector<uint8_t>> DefaultFormat() const;

  int SaveCount() const;     // times A0 08 01 was acknowledged
  int RestoreCount() const;  // times the defaults were restored
  bool InImageMode() const;
  uint32_t LineRate() const;  // rate the scanner answers at (0: any)
  std::optional<CaptureInfo> LastCapture() const;

  // Unsolicited bytes (decoded barcode data), written at once.
  void SendRaw(std::vector<uint8_t> bytes);
  // Emits `bytes` every periodMs while not in Image Mode; empty stops it.
  void SetScanData(std::vector<uint8_t> bytes, int periodMs);

  Faults& faults() { return faults_; }

 private:
  struct Impl;
  Faults faults_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace varnet::sim
