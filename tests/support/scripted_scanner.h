#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "support/pty_peer.h"
#include "support/transfer_blocks.h"

namespace varnet::test {

// A minimal scanner for link tests: answers each short command with the
// bytes scripted for its three parameter bytes (nothing when unscripted)
// and logs every frame it received.
class ScriptedScanner {
 public:
  ScriptedScanner();
  ~ScriptedScanner();
  const std::string& SlavePath() const { return peer_.SlavePath(); }
  void On(uint8_t p1, uint8_t p2, uint8_t p3, std::vector<uint8_t> reply);
  std::vector<std::vector<uint8_t>> Frames();
  bool Received(uint8_t p1, uint8_t p2, uint8_t p3);
  PtyPeer& peer() { return peer_; }
  // Answer only while the tool's line runs at this rate (an RS-232 scanner).
  void AnswerOnlyAt(uint32_t baud) { onlyAt_ = baud; }
  // Stop answering anything (the scanner goes quiet).
  void Silence(bool on) { silent_ = on; }

 private:
  void Run();
  PtyPeer peer_;
  std::mutex mu_;
  std::map<uint32_t, std::vector<uint8_t>> replies_;
  std::vector<std::vector<uint8_t>> frames_;
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> onlyAt_{0};
  std::atomic<bool> silent_{false};
  std::thread thread_;
};

// Reply builders for scripting.
std::vector<uint8_t> DataReply(const std::vector<uint8_t>& data);  // L 52 00 00 data CK
inline std::vector<uint8_t> BlockReply(const char* tag, const std::vector<uint8_t>& payload) {
  return Concat({HeaderBytes(tag, uint32_t(payload.size())), payload});
}

}  // namespace varnet::test
