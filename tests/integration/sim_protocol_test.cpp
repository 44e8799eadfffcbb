// The simulator as the tool sees it: through its pty, byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "sim/sim_scanner.h"
#include "sim_pty_client.h"

using namespace simtest;
using varnet::sim::HandshakeFault;
using varnet::sim::ProfileNamed;
using varnet::sim::SimScanner;

namespace {

Bytes Tail(const Bytes& b, size_t from) { return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.end()); }

Bytes BlockHeader(const char* tag, uint32_t len) {
  Bytes h(28, 0);
  std::memcpy(h.data(), tag, std::strlen(tag));
  h[8] = len & 0xFF;
  h[9] = (len >> 8) & 0xFF;
  h[10] = (len >> 16) & 0xFF;
  h[11] = len >> 24;
  h[6] = 0x42;  // bytes the scanner must not care about
  h[20] = 0x99;
  return h;
}

class SimProtocol : public ::testing::Test {
 protected:
  void Open(varnet::sim::Profile p = {}) {
    sim_ = std::make_unique<SimScanner>(std::move(p));
    ASSERT_TRUE(sim_->Start());
    client_ = std::make_unique<PtyClient>(sim_->SlavePath());
    ASSERT_TRUE(client_->ok());
  }
  void SetUp() override { Open(); }

  std::unique_ptr<SimScanner> sim_;
  std::unique_ptr<PtyClient> client_;
};

TEST_F(SimProtocol, DeviceTypeAndTextReplies) {
  // The documented exchange, to the byte.
  EXPECT_EQ(client_->Ask({0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83}), Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}));

  const Bytes fw = client_->Ask(Short(0x0E, 0x0D, 0x02));
  ASSERT_GE(fw.size(), 6u);
  EXPECT_EQ(fw[0] + 2u, fw.size());
  EXPECT_EQ(fw[1], 0x52);
  EXPECT_TRUE(ChecksumHolds(fw));
  EXPECT_EQ(std::string(fw.begin() + 4, fw.end() - 2), "HS2D-V2.41.07");

  const Bytes sn = client_->Ask(Short(0x0E, 0x0D, 0x53));
  EXPECT_TRUE(ChecksumHolds(sn));
  EXPECT_EQ(std::string(sn.begin() + 4, sn.end() - 2), "SN2D00012345");

  // A scanner reporting type 0, and one whose replies carry a bad checksum.
  sim_->faults().deviceTypeOverride = 0;
  sim_->faults().badReplyChecksum = true;
  const Bytes bad = client_->Ask(Short(0x0E, 0x0D, 0x06));
  ASSERT_EQ(bad.size(), 7u);
  EXPECT_EQ(Bytes(bad.begin(), bad.begin() + 5), Bytes({0x05, 0x52, 0x0E, 0x0D, 0x00}));
  EXPECT_FALSE(ChecksumHolds(bad));
  EXPECT_FALSE(ChecksumHolds(client_->Ask(Short(0x0E, 0x0D, 0x02))));
}

TEST_F(SimProtocol, LegacyScannerRefusesExtendedFunctions) {
  Open(ProfileNamed("legacy"));
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x53)), kNak);
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x0A)), kNak);
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x0A)), kNak);
  // Its parameter block asks for A0 00 11 (flag bit 6 clear), which it acks.
  const Bytes block = client_->Ask(Short(0x0E, 0x0D, 0x08));
  ASSERT_EQ(block.size(), 28u + 192u);
  EXPECT_EQ(block[28 + 188] & 0x40, 0);
  EXPECT_EQ(client_->Ask(Short(0xA0, 0x00, 0x11)), kAck);
}

TEST_F(SimProtocol, BlocksCarryHeaderAndPayload) {
  const Bytes b = client_->Ask({0x05, 0x57, 0x0E, 0x0D, 0x08, 0xFF, 0x81});
  ASSERT_GE(b.size(), 28u);
  EXPECT_EQ(std::memcmp(b.data(), "*DCF*\0", 6), 0);
  EXPECT_EQ(Le32(b, 8), b.size() - 28);
  for (int i : {6, 7, 12, 15, 20, 27}) EXPECT_NE(b[i], 0) << "header byte " << i;
  EXPECT_EQ(Tail(b, 28), sim_->ParamBlock());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 28)), "HS-2D");
  EXPECT_EQ(b[28 + 16], 1);
  EXPECT_EQ(Le32(b, 28 + 44), 9600u);
  EXPECT_EQ(b[28 + 43], 3);

  const Bytes f = client_->Ask({0x05, 0x57, 0x0E, 0x0D, 0x0A, 0xFF, 0x7F});
  ASSERT_GE(f.size(), 28u + 627u);
  EXPECT_EQ(std::memcmp(f.data(), "*DFF*\0", 6), 0);
  EXPECT_EQ(Le32(f, 8), f.size() - 28);
  EXPECT_NE(Bytes(f.begin() + 12, f.begin() + 28), Bytes(b.begin() + 12, b.begin() + 28));
  EXPECT_EQ(Tail(f, 28), *sim_->FormatBlock());

  // Faulty deliveries: a longer and a shorter payload, fewer bytes than
  // announced, an absurd announced length.
  sim_->faults().paramPayloadLength = 200;
  Bytes long200 = client_->Ask(Short(0x0E, 0x0D, 0x08));
  EXPECT_EQ(Le32(long200, 8), 200u);
  EXPECT_EQ(long200.size(), 228u);
  sim_->faults().paramPayloadLength = 191;
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x08)).size(), 28u + 191u);
  sim_->faults().paramPayloadLength = -1;
  sim_->faults().blockShortBy = 5;
  sim_->faults().blockFaultKind = varnet::sim::BlockKind::Format;
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x08)).size(), 28u + 192u);  // not the targeted block
  const Bytes shortF = client_->Ask(Short(0x0E, 0x0D, 0x0A));
  EXPECT_EQ(shortF.size(), 28u + Le32(shortF, 8) - 5);
  sim_->faults().blockShortBy = 0;
  sim_->faults().blockAnnounceLength = 0xFFFFFFFF;
  EXPECT_EQ(Le32(client_->Ask(Short(0x0E, 0x0D, 0x0A)), 8), 0xFFFFFFFFu);
}

TEST_F(SimProtocol, BlockWriteHandshakeStoresThePayload) {
  Bytes payload = sim_->ParamBlock();
  payload.resize(256, 0x33);  // longer blocks are kept whole
  payload[55] = 4;
  const Bytes header = BlockHeader("%ICF%", 256);

  EXPECT_EQ(client_->Ask({0x05, 0x57, 0x0E, 0x0C, 0x08, 0xFF, 0x82}), Bytes({'*', 'a', 'c', 'k'}));
  client_->Write(header);
  EXPECT_EQ(client_->ReadExact(5, 500), Bytes({'*', 'e', 'c', 'h', 'o'}));
  client_->Write(payload);
  EXPECT_EQ(client_->Read(1000), kAck);
  EXPECT_EQ(sim_->ParamBlock(), payload);
  // The handshake writes are logged one entry each, after the command frame.
  const auto log = sim_->Received();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1], header);
  EXPECT_EQ(log[2], payload);

  // The format block the same way; the frames after it are served again.
  Bytes fmt(640, 0x41);
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x0A)), Bytes({'*', 'a', 'c', 'k'}));
  client_->Write(BlockHeader("%IFF%", 640));
  EXPECT_EQ(client_->ReadExact(5, 500), Bytes({'*', 'e', 'c', 'h', 'o'}));
  client_->Write(fmt);
  EXPECT_EQ(client_->Read(1000), kAck);
  EXPECT_EQ(sim_->FormatBlock(), fmt);
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x06)).size(), 7u);
}

TEST_F(SimProtocol, BlockWriteFaults) {
  const Bytes before = sim_->ParamBlock();
  Bytes payload = before;
  payload[60] = 77;

  // A header with the scanner's own tag is not a configuration block.
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x08)), Bytes({'*', 'a', 'c', 'k'}));
  EXPECT_EQ(client_->Ask(BlockHeader("*DCF*", 192)), kNak);
  // Nor is a parameter block shorter than 192 bytes.
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x08)), Bytes({'*', 'a', 'c', 'k'}));
  EXPECT_EQ(client_->Ask(BlockHeader("%ICF%", 191)), kNak);
  EXPECT_EQ(sim_->ParamBlock(), before);

  sim_->faults().handshakeFault = HandshakeFault::NoAck;
  EXPECT_TRUE(client_->Ask(Short(0x0E, 0x0C, 0x08), 300).empty());
  sim_->faults().handshakeFault = HandshakeFault::NoEcho;
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x08)), Bytes({'*', 'a', 'c', 'k'}));
  EXPECT_TRUE(client_->Ask(BlockHeader("%ICF%", 192), 300).empty());
  sim_->faults().handshakeFault = HandshakeFault::NoFinalAck;
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x08)), Bytes({'*', 'a', 'c', 'k'}));
  EXPECT_EQ(client_->Ask(BlockHeader("%ICF%", 192)), Bytes({'*', 'e', 'c', 'h', 'o'}));
  EXPECT_TRUE(client_->Ask(payload, 300).empty());
  EXPECT_EQ(sim_->ParamBlock(), before);

  sim_->faults().handshakeFault = HandshakeFault::None;
  sim_->faults().storeDifferentByteAt = 100;
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0C, 0x08)), Bytes({'*', 'a', 'c', 'k'}));
  EXPECT_EQ(client_->Ask(BlockHeader("%ICF%", 192)), Bytes({'*', 'e', 'c', 'h', 'o'}));
  EXPECT_EQ(client_->Ask(payload, 1000), kAck);
  const Bytes stored = sim_->ParamBlock();
  EXPECT_EQ(stored[60], 77);
  EXPECT_NE(stored[100], payload[100]);
  Bytes expect = payload;
  expect[100] = stored[100];
  EXPECT_EQ(stored, expect);
}

TEST_F(SimProtocol, SettingCommandsChangeTheParameterBlock) {
  auto block = [&] { return sim_->ParamBlock(); };
  // The documented Sense Mode click.
  EXPECT_EQ(client_->Ask({0x05, 0x57, 0xA1, 0x02, 0x02, 0xFE, 0xFF}), kAck);
  EXPECT_EQ(block()[55], 2);
  // Readable symbologies: EAN-13 off and on again.
  EXPECT_EQ(client_->Ask(Short(0xB4, 0x01, 0x0D)), kAck);
  EXPECT_EQ(Le32(block(), 20) & (1u << 3), 0u);
  EXPECT_EQ(client_->Ask(Short(0xB4, 0x01, 0x0E)), kAck);
  EXPECT_NE(Le32(block(), 20) & (1u << 3), 0u);
  // 32-bit tables store the number.
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x05, 0x21)), kAck);
  EXPECT_EQ(Le32(block(), 68), 800u);
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x08, 0x06)), kAck);
  EXPECT_EQ(Le32(block(), 84), 1000u);
  // Decode area: the aiming choice raises the flag and clears the area.
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x03, 0x13)), kAck);
  EXPECT_EQ(block()[139], 0);
  EXPECT_EQ(block()[140], 2);
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x03, 0x11)), kAck);
  EXPECT_EQ(block()[139], 1);
  EXPECT_EQ(block()[140], 0);
  // MSI check digits: MOD10/MOD10 keeps the transmit bit (1) as it was.
  const uint8_t msiBefore = block()[31];
  EXPECT_EQ(client_->Ask(Short(0xBC, 0x02, 0x03)), kAck);
  EXPECT_EQ(block()[31], (msiBefore & 0x02) | 0x01 | 0x08);
  // Code 11 "Transmit Check Digit" on clears bit 3.
  EXPECT_EQ(client_->Ask(Short(0xB9, 0x03, 0x0D)), kAck);
  EXPECT_NE(block()[32] & 0x08, 0);
  EXPECT_EQ(client_->Ask(Short(0xB9, 0x03, 0x0E)), kAck);
  EXPECT_EQ(block()[32] & 0x08, 0);

  // Unknown commands and bad on/off values are refused and change nothing.
  const Bytes before = block();
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x02, 0x09)), kNak);
  EXPECT_EQ(client_->Ask(Short(0xB4, 0x01, 0x05)), kNak);
  EXPECT_EQ(client_->Ask(Short(0x77, 0x01, 0x0E)), kNak);
  // A refused command, and one left without its ack.
  sim_->faults().RefuseCommand(0xA1, 0x02, 0x03);
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x02, 0x03)), kNak);
  EXPECT_EQ(block(), before);
  sim_->faults().leaveUnacked = true;
  EXPECT_TRUE(client_->Ask(Short(0xA1, 0x02, 0x04), 300).empty());
  EXPECT_EQ(block()[55], 4);
  sim_->faults().applyUnacked = false;
  EXPECT_TRUE(client_->Ask(Short(0xA1, 0x02, 0x01), 300).empty());
  EXPECT_EQ(block()[55], 4);
}

TEST_F(SimProtocol, ModelDependentLedCommands) {
  // Illumination LEDs: 20 is the whole area (7) on most models, but the
  // first LED colour (0) on model codes 5 and 6.
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x04, 0x20)), kAck);
  EXPECT_EQ(sim_->ParamBlock()[61], 7);
  Open(ProfileNamed("code5"));
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x04, 0x20)), kAck);
  EXPECT_EQ(sim_->ParamBlock()[61], 0);
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x04, 0x26)), kNak);
  Open(ProfileNamed("code2-qb55"));
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x02, 0x11)), kAck);
  EXPECT_EQ(sim_->ParamBlock()[56], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sim_->ParamBlock().data())), "QB-55");
}

TEST_F(SimProtocol, OutputFormatAndTriggerRecords) {
  // The output format page's example frame.
  const Bytes outFrame = {0x1A, 0x58, 0xA1, 0x4C, 0x01, 0xFF, 0xA2, 0x04, 0x01, 0xFF, 0xA2, 0x02, 0x00, 0xFF,
                          0xA2, 0x03, 0x02, 0xFF, 0xB0, 0x4C, 0x00, 0xFF, 0xB0, 0x45, 0x00, 0xFF, 0xF4, 0xC3};
  EXPECT_EQ(client_->Ask(outFrame), kAck);
  Bytes p = sim_->ParamBlock();
  EXPECT_EQ(p[53], 0);
  EXPECT_EQ(p[42], 1);
  EXPECT_EQ(p[39], 0);
  EXPECT_EQ(p[40], 1);  // CRLF sent as 2, kept as its code 1

  // Korean (selector 4), TAB, and a Code 11 prefix and suffix in slot 9.
  EXPECT_EQ(client_->Ask(Records({0xA1, 0x4C, 0x04, 0xFF, 0xA2, 0x03, 0x04, 0xFF, 0xB9, 0x4C, 0x03, 0xFF, 0xB9,
                                  0x45, 0x02, 0xFF, 0xB9, 0x50, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0xFF, 0xB9,
                                  0x53, 'x', 0xFF})),
            kAck);
  p = sim_->ParamBlock();
  EXPECT_EQ(p[53], 6);
  EXPECT_EQ(p[40], 3);
  Bytes f = *sim_->FormatBlock();
  EXPECT_EQ(std::string(f.begin() + 72, f.begin() + 80), "ABCDEFGH");
  EXPECT_EQ(Bytes(f.begin() + 352, f.begin() + 360), Bytes({'x', 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(f[560 + 9], 3);
  EXPECT_EQ(f[595 + 9], 2);
  // DotCode (DF) uses slot 31.
  EXPECT_EQ(client_->Ask(Records({0xDF, 0x50, 'D', 0xFF})), kAck);
  EXPECT_EQ(sim_->FormatBlock()->at(31 * 8), 'D');

  // The trigger page's example frame.
  const Bytes trigFrame = {0x18, 0x58, 0xA1, 0x0F, 0x01, 0xFF, 0xA1, 0x19, 0x53, 0x54, 0xFF, 0xA1, 0x1A,
                           0x53, 0x50, 0xFF, 0xA1, 0x0E, 0x01, 0xFF, 0xA1, 0x1E, 0x00, 0xFF, 0xF5, 0xB6};
  EXPECT_EQ(client_->Ask(trigFrame), kAck);
  p = sim_->ParamBlock();
  EXPECT_EQ(p[156], 1);
  EXPECT_EQ(p[144], 1);
  EXPECT_EQ(Bytes(p.begin() + 168, p.begin() + 178), Bytes({'S', 'T', 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(p.begin() + 178, p.begin() + 180), Bytes({'S', 'P'}));
  EXPECT_EQ(Bytes(p.begin() + 145, p.begin() + 154), Bytes(9, 0));

  // One bad record refuses the whole command: code page selector 3, an
  // ending of 5, a 9-character prefix, a malformed payload.
  const Bytes pb = sim_->ParamBlock();
  const auto fb = sim_->FormatBlock();
  EXPECT_EQ(client_->Ask(Records({0xA2, 0x04, 0x02, 0xFF, 0xA1, 0x4C, 0x03, 0xFF})), kNak);
  EXPECT_EQ(client_->Ask(Records({0xA2, 0x04, 0x02, 0xFF, 0xA2, 0x03, 0x05, 0xFF})), kNak);
  EXPECT_EQ(client_->Ask(Records({0xB1, 0x50, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0xFF})), kNak);
  EXPECT_EQ(client_->Ask(Records({0xA2, 0x04, 0x02, 0xFF, 0xA2, 0x03})), kNak);
  EXPECT_EQ(sim_->ParamBlock(), pb);
  EXPECT_EQ(sim_->FormatBlock(), fb);
}

TEST_F(SimProtocol, RestoreDefaultsAndSave) {
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x02, 0x03)), kAck);
  EXPECT_EQ(client_->Ask(Records({0xB0, 0x50, 'Z', 0xFF})), kAck);
  ASSERT_NE(sim_->ParamBlock(), sim_->DefaultParam());
  ASSERT_NE(sim_->FormatBlock(), sim_->DefaultFormat());

  EXPECT_EQ(client_->Ask({0x0A, 0x58, 0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF, 0xFC, 0x44}, 1500), kAck);
  EXPECT_EQ(sim_->ParamBlock(), sim_->DefaultParam());
  EXPECT_EQ(sim_->FormatBlock(), sim_->DefaultFormat());
  EXPECT_EQ(sim_->RestoreCount(), 1);

  EXPECT_EQ(sim_->SaveCount(), 0);
  EXPECT_EQ(client_->Ask({0x05, 0x57, 0xA0, 0x08, 0x01, 0xFE, 0xFB}), kAck);
  EXPECT_EQ(sim_->SaveCount(), 1);
  EXPECT_TRUE(client_->Ask(Short(0xA0, 0x08, 0xFF), 200).empty());
}

TEST_F(SimProtocol, ImageModeExposureAndGain) {
  EXPECT_EQ(client_->Ask(Short(0xA0, 0x02, 0x05)), kAck);
  EXPECT_TRUE(client_->Ask(Short(0xA0, 0x02, 0x02), 200).empty());
  EXPECT_TRUE(sim_->InImageMode());

  // Exposure 300 and gain 100 are never answered: wait for the log instead.
  sim_->ClearReceived();
  client_->Write({0x06, 0x57, 0xA0, 0x03, 0x2C, 0x01, 0xFE, 0xD3});
  client_->Write({0x05, 0x57, 0xA0, 0x04, 0x64, 0xFE, 0x9C});
  ASSERT_TRUE(sim_->WaitReceived(2, 1000));
  EXPECT_EQ(Le16(sim_->ParamBlock(), 58), 300);
  EXPECT_EQ(sim_->ParamBlock()[60], 100);
  EXPECT_TRUE(client_->Read(150).empty());

  // Tuning acks after a while and settles on new fixed values.
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(client_->Ask(Short(0xA0, 0x02, 0x08), 2000), kAck);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
  EXPECT_NE(Le16(sim_->ParamBlock(), 58), 300);
  EXPECT_NE(Le16(sim_->ParamBlock(), 58), 0);

  EXPECT_EQ(client_->Ask({0x05, 0x57, 0xA0, 0x02, 0x09, 0xFE, 0xF9}), kAck);
  EXPECT_EQ(Le16(sim_->ParamBlock(), 58), 0);
  EXPECT_EQ(client_->Ask(Short(0xA0, 0x02, 0x00)), kAck);
  EXPECT_FALSE(sim_->InImageMode());
}

TEST_F(SimProtocol, ResynchronisesAfterGarbageAndBadChecksums) {
  // Junk, a frame with a wrong checksum, a torn frame, then a good query:
  // only the good one is answered and logged.
  Bytes junk = {0x00, 0x57, 0xFF, 0x05, 0x13, 0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x84, 0x0A, 0x58, 0xA0};
  client_->Write(junk);
  EXPECT_TRUE(client_->Read(250).empty());
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x06)), Bytes({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}));
  const auto log = sim_->Received();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], Short(0x0E, 0x0D, 0x06));

  // Glued to the front of a good frame, garbage delays nothing.
  Bytes glued = {0x99, 0x57, 0x01};
  const Bytes q = Short(0x0E, 0x0D, 0x06);
  glued.insert(glued.end(), q.begin(), q.end());
  EXPECT_EQ(client_->Ask(glued).size(), 7u);
}

TEST_F(SimProtocol, ReplyFaults) {
  const Bytes query = Short(0x0E, 0x0D, 0x06);
  sim_->faults().silent = true;
  EXPECT_TRUE(client_->Ask(query, 300).empty());
  sim_->faults().silent = false;
  sim_->faults().refuseAll = true;
  EXPECT_EQ(client_->Ask(query), kNak);
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x02, 0x02)), kNak);
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x08)), kNak);
  sim_->faults().refuseAll = false;

  sim_->faults().SetGarbagePrefix({0xDE, 0xAD});
  EXPECT_EQ(client_->Ask(query), Bytes({0xDE, 0xAD, 0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}));
  sim_->faults().SetGarbagePrefix({});

  // Slow bytes: the reply trickles in, each gap near the set delay.
  sim_->faults().slowBytesMs = 40;
  client_->Write(query);
  std::vector<std::chrono::steady_clock::time_point> arrivals;
  Bytes got;
  while (got.size() < 7) {
    const Bytes b = client_->ReadExact(1, 1000);
    if (b.empty()) break;
    got.push_back(b[0]);
    arrivals.push_back(std::chrono::steady_clock::now());
  }
  ASSERT_EQ(got.size(), 7u);
  EXPECT_GE(arrivals.back() - arrivals.front(), std::chrono::milliseconds(6 * 30));
  sim_->faults().slowBytesMs = 0;

  sim_->faults().replyDelayMs = 200;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(client_->Ask(query, 1000).size(), 7u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(180));
}

TEST_F(SimProtocol, Rs232ScannerAnswersOnlyAtItsRate) {
  Open(ProfileNamed("rs232"));
  const Bytes query = Short(0x0E, 0x0D, 0x06);
  for (speed_t wrong : {B9600, B115200}) {
    client_->SetSpeed(wrong);
    EXPECT_TRUE(client_->Ask(query, 250).empty());
  }
  client_->SetSpeed(B57600);
  EXPECT_EQ(client_->Ask(query).size(), 7u);
  EXPECT_EQ(Le32(sim_->ParamBlock(), 44), 57600u);

  // After acknowledging 115200 it follows the new rate.
  EXPECT_EQ(client_->Ask(Short(0xA1, 0x0C, 0x05)), kAck);
  EXPECT_EQ(Le32(sim_->ParamBlock(), 44), 115200u);
  EXPECT_TRUE(client_->Ask(query, 250).empty());
  client_->SetSpeed(B115200);
  EXPECT_EQ(client_->Ask(query).size(), 7u);

  // Restoring the defaults takes it back to its factory rate.
  EXPECT_EQ(client_->Ask(Records({0xA0, 0x02, 0x09, 0xFF, 0xA1, 0x01, 0x0F, 0xFF}), 1500), kAck);
  EXPECT_TRUE(client_->Ask(query, 250).empty());
  client_->SetSpeed(B57600);
  EXPECT_EQ(client_->Ask(query).size(), 7u);
}

TEST_F(SimProtocol, ScanDataOutsideImageModeAndSendRaw) {
  sim_->SetScanData({'A', 'B', 'C', '1', '2', '3', 0x0D, 0x0A}, 60);
  const Bytes burst = client_->ReadExact(8, 500);
  EXPECT_EQ(burst, Bytes({'A', 'B', 'C', '1', '2', '3', 0x0D, 0x0A}));
  // In Image Mode the readings stop (the ack may come behind one).
  client_->Write(Short(0xA0, 0x02, 0x05));
  const Bytes mixed = client_->Read(500, 150);
  ASSERT_GE(mixed.size(), 5u);
  EXPECT_EQ(Bytes(mixed.end() - 5, mixed.end()), kAck);
  EXPECT_TRUE(client_->Read(250).empty());
  sim_->SetScanData({}, 0);
  sim_->SendRaw({0x41, 0x7E, 0x42});
  EXPECT_EQ(client_->Read(), Bytes({0x41, 0x7E, 0x42}));
}

TEST_F(SimProtocol, StopKeepsThePortAndVanishRemovesIt) {
  const std::string path = sim_->SlavePath();
  sim_->Stop();
  EXPECT_TRUE(client_->Ask(Short(0x0E, 0x0D, 0x06), 200).empty());
  ASSERT_TRUE(sim_->Start());
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x06)).size(), 7u);

  // Closing and reopening the port (as a search does) keeps it working.
  client_ = std::make_unique<PtyClient>(path);
  ASSERT_TRUE(client_->ok());
  EXPECT_EQ(client_->Ask(Short(0x0E, 0x0D, 0x06)).size(), 7u);

  sim_->Vanish();
  pollfd p{client_->fd(), POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 500), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  char c;
  EXPECT_LE(::read(client_->fd(), &c, 1), 0);
  struct stat st;
  EXPECT_NE(::stat(path.c_str(), &st), 0);
}

}  // namespace
