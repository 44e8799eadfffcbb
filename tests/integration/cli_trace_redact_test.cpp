// SPDX-License-Identifier: Apache-2.0
// varnet-cli trace-redact on traces of the corpus: the scanned data are gone,
// everything else is as it was, and the redacted trace replays.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <sstream>

#include "sim/sim_replay.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

using namespace varnet;
using namespace varnet::test;

namespace {

std::string Text(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each line without the bytes of its reads.
std::string WithoutReads(const std::string& trace) {
  std::istringstream in(trace);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    const size_t read = line.find(" read ");
    out += (read == std::string::npos ? line : line.substr(0, read)) + "\n";
  }
  return out;
}

// The redacted trace of a corpus entry, replayed for `args` (the port first).
struct Replayed {
  std::string trace;
  CliRun run;
  std::vector<std::string> problems;
};

Replayed RedactAndReplay(const std::string& entry, const TempDir& dir, std::vector<std::string> args) {
  Replayed r;
  const std::string original = std::string(VARNET_TRACES_DIR) + "/" + entry;
  const CliRun redact = RunCli({"trace-redact", original, "-o", dir.File("redacted")});
  EXPECT_EQ(redact.status, 0) << redact.err;
  r.trace = Text(dir.File("redacted"));
  EXPECT_EQ(WithoutReads(r.trace), WithoutReads(Text(original)));
  std::string why;
  auto parsed = sim::ParseWireTrace(r.trace, why);
  EXPECT_TRUE(parsed) << why;
  if (!parsed) return r;
  sim::TraceReplay replay(std::move(*parsed));
  EXPECT_TRUE(replay.Start());
  args.insert(args.begin(), {"--port", replay.SlavePaths().at(0)});
  r.run = RunCli(args);
  EXPECT_TRUE(replay.WaitPlayedOut(5000));
  replay.Stop();
  r.problems = replay.Problems();
  return r;
}

}  // namespace

// Decoded data and images of Image Mode captures; the headers stay.
TEST(TraceRedact, CapturesKeepTheirHeadersAndShowAsGreyPictures) {
  TempDir dir;
  const Replayed r = RedactAndReplay("capture.trace", dir, {"capture", "--count", "2", "--dir", dir.path()});
  EXPECT_TRUE(r.problems.empty()) << r.problems.at(0);
  EXPECT_EQ(r.run.status, 0) << r.run.err;
  EXPECT_FALSE(Has(r.trace, "56 41 52 4E 45 54"));                   // "VARNET" of the decoded data
  EXPECT_TRUE(Has(r.trace, "read  2A 42 43 2A 01 00 00 00 0B 00"));  // its header, 11 bytes announced
  EXPECT_TRUE(Has(r.run.out, "\"XXXXXXXXXXX\", corners (909,516) (1035,529)")) << r.run.out;
  int pictures = 0;
  for (const std::string& name : dir.Entries()) {
    const QImage image(QString::fromStdString(dir.File(name)));
    if (image.isNull()) continue;
    ++pictures;
    EXPECT_EQ(image.size(), QSize(1280, 720));
    EXPECT_EQ(qGray(image.pixel(640, 360)), qGray(image.pixel(10, 10))) << name;
  }
  EXPECT_EQ(pictures, 2);
}

// Readings that came unasked keep their length and control bytes.
TEST(TraceRedact, ReadingsKeepTheirShape) {
  TempDir dir;
  const Replayed r = RedactAndReplay("monitor.trace", dir, {"monitor", "--count", "2"});
  EXPECT_TRUE(r.problems.empty()) << r.problems.at(0);
  EXPECT_EQ(r.run.status, 0) << r.run.err;
  EXPECT_FALSE(Has(r.trace, "4F 52 44 45 52"));  // "ORDER"
  EXPECT_TRUE(Has(r.run.out, "  XXXXXXXXXX[CR][LF]\n")) << r.run.out;
  EXPECT_TRUE(Has(r.trace, "read  11 52 0E 0D 48 53 32 44"));  // the firmware text is the scanner's, not data
}
