// SPDX-License-Identifier: Apache-2.0
// The wire trace: what a short exchange leaves in it, and whole lines when
// several ports are traced at once.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <thread>

#include "link/protocol.h"
#include "link/trace.h"
#include "support/pty_peer.h"
#include "support/temp_dir.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;

namespace {

std::vector<std::string> TraceLines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* f = fopen(path.c_str(), "r");
  char buf[512];
  while (f && fgets(buf, sizeof buf, f)) lines.emplace_back(buf, strcspn(buf, "\n"));
  if (f) fclose(f);
  return lines;
}

// "   1234.567 PORT " cut off, the rest of each line after the heading.
std::vector<std::string> Events(const std::vector<std::string>& lines, const std::string& port) {
  std::vector<std::string> out;
  const std::regex stamped("^ *[0-9]+\\.[0-9]{3} (\\S+) (.*)$");
  std::smatch m;
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], m, stamped)) << lines[i];
    if (m[1] == port) out.push_back(m[2]);
  }
  return out;
}

}  // namespace

TEST(WireTrace, AShortExchangeLineByLine) {
  TempDir dir;
  const std::string file = dir.File("trace.log");
  std::string why;
  ASSERT_TRUE(trace::ToFile(file, "test", why)) << why;
  PtyPeer peer;
  {
    ScannerLink link;
    ASSERT_TRUE(OpenLink(link, peer.SlavePath(), 115200));
    peer.WriteLater({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}, 30);
    EXPECT_EQ(QueryDeviceType(link), 1);
    peer.Join();
    // Three silent waits of one length show as one line and a count.
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(WaitAck(link, 30));
    peer.WriteLater({1, 2, 3}, 0);
    uint8_t buf[8];
    EXPECT_EQ(ReadExact(link, buf, 8, 60), 3u);
    peer.Join();
  }
  EXPECT_FALSE(OpenLink(*std::make_unique<ScannerLink>(), "ttyVARNET-NONE", 9600));
  trace::Stop();

  // Scanned data are the customer's: the file is the user's alone.
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const auto lines = TraceLines(file);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("# test wire trace, format 2, pid ", 0), 0u) << lines[0];
  EXPECT_EQ(Events(lines, peer.SlavePath()),
            (std::vector<std::string>{"open at 115200 bit/s", "write 05 57 0E 0D 06 FF 83",
                                      "read  05 52 0E 0D 01 FF 8D", "time-out after 30 ms, nothing read",
                                      "time-out after 30 ms, nothing read (2 more times)", "read  01 02 03",
                                      "time-out after 60 ms, 3 of 8 bytes read", "closed"}));
  EXPECT_EQ(Events(lines, "ttyVARNET-NONE"), (std::vector<std::string>{"open failed: No such file or directory"}));
}

TEST(WireTrace, PortsTracedAtOnceKeepTheirLinesWhole) {
  TempDir dir;
  const std::string file = dir.File("trace.log");
  std::string why;
  ASSERT_TRUE(trace::ToFile(file, "test", why)) << why;
  PtyPeer a, b;
  constexpr int kFrames = 200;
  auto talk = [](PtyPeer& peer) {
    ScannerLink link;
    ASSERT_TRUE(OpenLink(link, peer.SlavePath(), 115200));
    for (int i = 0; i < kFrames; ++i) SendValueCommand(link, uint16_t(i));
  };
  std::thread ta(talk, std::ref(a)), tb(talk, std::ref(b));
  ta.join(), tb.join();
  trace::Stop();
  const auto lines = TraceLines(file);
  for (PtyPeer* p : {&a, &b}) {
    const auto events = Events(lines, p->SlavePath());
    ASSERT_EQ(events.size(), size_t(kFrames + 2));
    for (int i = 0; i < kFrames; ++i) EXPECT_EQ(events[1 + i].rfind("write 06 57 A0 03 ", 0), 0u) << events[1 + i];
  }
}
