// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <thread>

#include "link/serial_link.h"
#include "link/ticks.h"
#include "support/connected_scanner.h"
#include "support/pty_peer.h"

using namespace varnet;
using varnet::test::Bytes;
using varnet::test::PeerLinkTest;
using varnet::test::PtyPeer;

namespace {

int64_t Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

double ThreadCpuMs() {
  struct rusage u;
  getrusage(RUSAGE_THREAD, &u);
  return u.ru_utime.tv_sec * 1000.0 + u.ru_utime.tv_usec / 1000.0 + u.ru_stime.tv_sec * 1000.0 +
         u.ru_stime.tv_usec / 1000.0;
}

// A link open on a pty whose far end the test plays.
class Transport : public PeerLinkTest {
 protected:
  uint8_t buf[300];
};

}  // namespace

TEST_F(Transport, MissingPortLeavesTheSlotEmpty) {
  EXPECT_FALSE(OpenLink(link, "ttyVARNET-NOPE", 9600));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(link.lastFailure, Reason::PortGone);
  // A regular file is no serial port either.
  EXPECT_FALSE(OpenLink(link, "/etc/hostname", 9600));
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(Transport, PortNamesOpenIsExclusiveAndReopenFollowsTheRate) {
  EXPECT_EQ(platform::PortPath("ttyACM0"), "/dev/ttyACM0");
  EXPECT_EQ(platform::PortPath("pts/3"), "/dev/pts/3");
  EXPECT_EQ(platform::PortPath("/dev/ttyUSB12"), "/dev/ttyUSB12");

  ScannerLink other;
  EXPECT_FALSE(OpenLink(other, peer.SlavePath(), 115200));
  EXPECT_EQ(other.lastFailure, Reason::PortBusy);
  EXPECT_FALSE(other.IsOpen());
  link.LinkPortName = peer.SlavePath();
  ASSERT_TRUE(ReopenLink(link, 9600));
  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(link.baud, 9600u);
  CloseLink(link);
  EXPECT_TRUE(OpenLink(other, peer.SlavePath(), 115200));
}

TEST_F(Transport, CollectWithNothingArrivingEndsAtTheFirstByteLimit) {
  auto t0 = std::chrono::steady_clock::now();
  double cpu0 = ThreadCpuMs();
  CollectResult r = CollectUntilIdle(link, buf, 16, 300, 50);
  int64_t took = Ms(t0);
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.end, CollectEnd::Idle);
  EXPECT_GE(took, 299);
  EXPECT_LT(took, 450);
  // Waiting is done in poll(), not by spinning.
  EXPECT_LT(ThreadCpuMs() - cpu0, 60.0);
}

TEST_F(Transport, EveryByteRestartsTheIdlePeriodALongerGapEndsIt) {
  peer.WriteLater(Bytes({1, 2, 3, 4, 5, 6, 7, 8}), 0, 40);
  CollectResult r = CollectUntilIdle(link, buf, 6, 200, 50);
  EXPECT_EQ(r.count, 6u);
  EXPECT_EQ(r.end, CollectEnd::Full);
  EXPECT_EQ(buf[5], 6);
  peer.Join();
  DrainInput(link);

  peer.WriteLater(Bytes({1, 2}), 0, 0);
  peer.WriteLater(Bytes({3}), 250, 0);
  r = CollectUntilIdle(link, buf, 16, 200, 100);
  EXPECT_EQ(r.count, 2u);
  EXPECT_EQ(r.end, CollectEnd::Idle);
}

TEST_F(Transport, ACancelFromAnotherThreadEndsEveryWaitAndTheOwnerCloses) {
  LinkCancel cancel;
  link.cancel = &cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel.Raise();
  });
  auto t0 = std::chrono::steady_clock::now();
  CollectResult r = CollectUntilIdle(link, buf, 16, 3000, 50);
  canceller.join();
  EXPECT_EQ(r.end, CollectEnd::Closed);
  EXPECT_LT(Ms(t0), 1000);
  // The port stays with its owner until the owner closes it.
  EXPECT_TRUE(link.IsOpen());
  peer.Write(Bytes({1, 2, 3}));
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadExact(link, buf, 3, 2000), 0u);
  EXPECT_EQ(DrainInput(link), 0u);
  EXPECT_LT(Ms(t0), 500);
  CloseLink(link);
  EXPECT_FALSE(OpenLink(link, peer.SlavePath(), 115200));
  EXPECT_EQ(link.lastErrno, ECANCELED);
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(Transport, ReadExactEndsOnAGapOrAsSoonAsAllBytesAreIn) {
  std::vector<uint8_t> data(300, 0x5A);
  peer.Write(data);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadExact(link, buf, 300, 1000), 300u);
  EXPECT_LT(Ms(t0), 500);  // not waiting for the gap once complete

  peer.Write(std::vector<uint8_t>(100, 1));
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadExact(link, buf, 300, 200), 100u);
  int64_t took = Ms(t0);
  EXPECT_GE(took, 199);
  EXPECT_LT(took, 400);
}

TEST_F(Transport, DrainReturnsAtOnceOnAQuietPortAndIsBoundedOnAChattyOne) {
  peer.Write(Bytes({1, 2, 3}));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(DrainInput(link), 3u);
  EXPECT_LT(Ms(t0), 50);
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(DrainInput(link), 0u);
  EXPECT_LT(Ms(t0), 50);

  // A scanner that never falls silent cannot hold the drain: at about 100 kB/s
  // (catching up after any late wake-up, so it never pauses) only the time
  // limit ends it; the byte limit alone would take 650 ms.
  std::atomic<bool> stop{false};
  t0 = std::chrono::steady_clock::now();
  std::thread chatter([&] {
    for (size_t sent = 0; !stop;) {
      const size_t due =
          size_t(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count()) /
          10;
      if (due > sent) peer.Write(std::vector<uint8_t>(std::min<size_t>(due - sent, 4096), 0x41));
      sent = std::max(sent, due);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  DrainInput(link);
  int64_t took = Ms(t0);
  stop = true;
  chatter.join();
  EXPECT_LT(took, int64_t(kDrainMaxMs) + 200);
}

TEST_F(Transport, TickWrapDoesNoHarm) {
  // Put the counter 100 ms before its wrap: a 300 ms wait spans it.
  uint32_t now = TickCount();
  SetTickOffset(0xFFFFFFFFu - now - 100);
  auto t0 = std::chrono::steady_clock::now();
  CollectResult r = CollectUntilIdle(link, buf, 4, 300, 50);
  int64_t took = Ms(t0);
  uint32_t after = TickCount();
  SetTickOffset(0);
  EXPECT_EQ(r.count, 0u);
  EXPECT_LT(after, 1000u);  // it did wrap
  EXPECT_GE(took, 299);
  EXPECT_LT(took, 450);
}

TEST_F(Transport, VanishedPortMakesReadersEndByTheirLimitsWithoutSpinning) {
  peer.CloseMaster();  // the device goes away
  auto t0 = std::chrono::steady_clock::now();
  double cpu0 = ThreadCpuMs();
  CollectResult r = CollectUntilIdle(link, buf, 8, 300, 50);
  EXPECT_EQ(r.count, 0u);
  EXPECT_GE(Ms(t0), 299);
  EXPECT_EQ(ReadExact(link, buf, 8, 200), 0u);
  EXPECT_LT(Ms(t0), 800);
  EXPECT_LT(ThreadCpuMs() - cpu0, 60.0);
  WriteBytes(link, buf, 8);  // must neither block nor crash
}
