// SPDX-License-Identifier: Apache-2.0
// varnet-cli capture against the simulator: files a decoder opens with the
// scene's symbol where the printed corners say, the overlay, the frames of
// the exposure and gain options, and what a failing scanner leaves behind.
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "sim/sim_scanner.h"
#include "support/cli_process.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Frames = std::vector<std::vector<uint8_t>>;

namespace {

const auto kStart1 = Cmd(kImageModeOn), kStart2 = Cmd(kImageModeStart), kStop = Cmd(kImageModeOff);

class Capture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Start()); }
  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim.SlavePath(), "--json", "capture", "--dir", dir.path()});
    return RunCli(args);
  }
  sim::SimScanner sim;
  TempDir dir;
};

// The symbol an independent decoder finds in the image, and its corners.
ZXing::Result Decode(const QImage& image) {
  const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  return ZXing::ReadBarcode(
      {grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum, int(grey.bytesPerLine())}, hints);
}

}  // namespace

TEST_F(Capture, FilesADecoderOpensWithTheSymbolWhereThePrintedCornersSay) {
  const auto r = Run({"--count", "2", "--overlay"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto lines = JsonLines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out;
  const std::regex name(".*/pts-[0-9]+-\\d{8}-\\d{6}-[12]\\.jpg");
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& j = lines[i];
    EXPECT_EQ(j["number"], i + 1);
    EXPECT_TRUE(std::regex_match(j["file"].get<std::string>(), name)) << j["file"];
    QImage jpeg;
    ASSERT_TRUE(jpeg.load(QString::fromStdString(j["file"]), "JPEG")) << j["file"];
    const ZXing::Result symbol = Decode(jpeg);
    ASSERT_TRUE(symbol.isValid());
    const std::string text = symbol.text();
    EXPECT_EQ(j["data"], text);
    EXPECT_EQ(j["bytes"], cli::Hex(std::vector<uint8_t>(text.begin(), text.end())));
    for (int c = 0; c < 4; ++c)
      EXPECT_LE(std::hypot(symbol.position()[c].x - j["corners"][c][0].get<int>(),
                           symbol.position()[c].y - j["corners"][c][1].get<int>()),
                4.0)
          << c;
    // The preview, halved from 1280 x 720: green at each corner, not elsewhere.
    QImage overlay;
    ASSERT_TRUE(overlay.load(QString::fromStdString(j["overlay"]), "PNG")) << j["overlay"];
    ASSERT_EQ(overlay.size(), QSize(640, 360));
    const QRgb green = qRgb(0, 255, 0);
    for (const auto& corner : j["corners"])
      EXPECT_EQ(overlay.pixel(corner[0].get<int>() / 2, corner[1].get<int>() / 2), green) << corner;
    EXPECT_NE(overlay.pixel(5, 5), green);
  }
  EXPECT_EQ(lines[1]["decode_time"], sim.LastCapture().value().decodeTimeMs);
  // Image Mode entered as connecting does and left on the way out.
  EXPECT_EQ(Writes(sim.Received()), (Frames{kStart1, kStart2, kStop}));
  EXPECT_FALSE(sim.InImageMode());

  // Nothing decoded: all-zero corners; the text says so as the list does.
  // A run in a second whose -1 is taken already: the capture and its
  // overlay both go to -2.
  sim.faults().noBarcode = true;
  TempDir again;
  const std::string tag = "pts-" + sim.SlavePath().substr(9) + "-";
  for (time_t t = time(nullptr), s = 0; s < 5; ++s) {
    char stamp[20];
    const time_t at = t + s;
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", localtime(&at));
    WriteWholeFile(again.File(tag + stamp + "-1.jpg"), {});
  }
  const auto none = RunCli({"--port", sim.SlavePath(), "capture", "--overlay", "--dir", again.path()});
  ASSERT_EQ(none.status, 0) << none.err;
  EXPECT_TRUE(std::regex_search(none.out, std::regex(R"((\S+-2)\.jpg \(overlay \1-overlay\.png\): 0 ms, exposure )")))
      << none.out;
  EXPECT_TRUE(Has(none.out, ", No Barcode\n")) << none.out;
  EXPECT_EQ(again.Entries().size(), 7u);

  // A folder that does not exist is made with its parents, as mkdir -p makes them.
  ASSERT_EQ(RunCli({"--port", sim.SlavePath(), "capture", "--dir", again.File("new/shots")}).status, 0);
  ASSERT_EQ(std::system(("mkdir -p " + again.File("made/shots")).c_str()), 0);
  for (const char* folder : {"", "/shots"}) {
    struct stat ours {
    }, theirs{};
    ASSERT_EQ(stat((again.File("new") + folder).c_str(), &ours), 0);
    ASSERT_EQ(stat((again.File("made") + folder).c_str(), &theirs), 0);
    EXPECT_EQ(ours.st_mode, theirs.st_mode) << folder;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(again.File("new/shots")), {}), 1);
}

TEST_F(Capture, ExposureGainAndTuningGoOutAsTheControlsSendThem) {
  auto r = Run({"--exposure", "300", "--gain", "90", "--save"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = JsonLines(r.out).at(0);
  EXPECT_EQ(j["exposure"], 300);
  EXPECT_EQ(j["gain"], 90);
  const std::vector<uint8_t> exposure300 = {0x06, 0x57, 0xA0, 0x03, 0x2C, 0x01, 0xFE, 0xD3};
  EXPECT_EQ(Writes(sim.Received()), (Frames{kStart1, kStart2, exposure300, Cmd(GainCommand(90)), Cmd(kSave), kStop}));
  EXPECT_EQ(sim.SaveCount(), 1);

  // Tuning from automatic exposure ticks the box first: model 1's default exposure.
  auto param = sim.ParamBlock();
  param[58] = param[59] = 0;
  sim.SetParamBlock(param);
  sim.ClearReceived();
  r = Run({"--auto-tune"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<uint8_t> exposure500 = {0x06, 0x57, 0xA0, 0x03, 0xF4, 0x01, 0xFE, 0x0B};
  EXPECT_EQ(Writes(sim.Received()), (Frames{kStart1, kStart2, exposure500, Cmd(kAutoTune), kStop}));
  // Out-of-range values are refused before anything is sent.
  sim.ClearReceived();
  EXPECT_EQ(Run({"--gain", "7"}).status, 2);
  EXPECT_EQ(Run({"--auto-exposure", "--exposure", "100"}).status, 2);
  EXPECT_TRUE(sim.Received().empty());
}

TEST_F(Capture, AFailingScannerIsNamedAndLeavesNoFile) {
  struct Case {
    const char* what;
    std::function<void()> fault;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"silent", [&] { sim.faults().captureSilent = true; }, "no capture within 500 ms"},
      {"short", [&] { sim.faults().shortImageBy = 1000; }, "stopped sending in the middle of the image"},
      {"babble", [&] { sim.faults().garbageBetweenBlocks = 70000; }, "more than a capture holds"},
  };
  for (const Case& c : cases) {
    sim.faults().captureSilent = false, sim.faults().shortImageBy = 0, sim.faults().garbageBetweenBlocks = 0;
    c.fault();
    sim.ClearReceived();
    const auto r = Run({"--count", "3"});
    EXPECT_EQ(r.status, 1) << c.what;
    const auto lines = JsonLines(r.out);
    ASSERT_EQ(lines.size(), 1u) << c.what << r.out;
    EXPECT_EQ(lines[0]["ok"], false);
    EXPECT_TRUE(Has(lines[0]["message"], std::string("capture 1 of 3: ")) && Has(lines[0]["message"], c.reason))
        << lines[0];
    EXPECT_EQ(Writes(sim.Received()).back(), kStop) << c.what;
    EXPECT_TRUE(dir.Entries().empty()) << c.what;
  }

  // The port goes away while the image is on its way.
  sim.faults().garbageBetweenBlocks = 0, sim.faults().shortImageBy = 100;
  sim.ClearReceived();
  std::thread unplug([&] {
    sim.WaitReceived(8, 5000);  // connected, Image Mode entered, capture asked
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    sim.Vanish();
  });
  const auto r = Run({});
  unplug.join();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "The connection to the scanner was lost.")) << r.out;
  EXPECT_TRUE(dir.Entries().empty());
}

TEST_F(Capture, CtrlCLeavesImageModeAndOnlyWholeFiles) {
  CliProcess p({"--port", sim.SlavePath(), "capture", "--count", "1000", "--dir", dir.path()});
  ASSERT_TRUE(p.Started());
  ASSERT_EQ(p.ReadLines(2, 5000).empty(), false);
  p.Signal(SIGTERM);
  EXPECT_EQ(p.Wait(3000), 1);
  ASSERT_TRUE(sim.WaitReceived(1, 0));
  EXPECT_EQ(sim.Received().back(), kStop);
  EXPECT_FALSE(sim.InImageMode());
  ASSERT_GE(dir.Entries().size(), 2u);
  for (const std::string& f : dir.Entries())
    EXPECT_FALSE(QImage(QString::fromStdString(dir.File(f)), "JPEG").isNull()) << f;
}

// An image that trickles in just under the 250 ms gap would hold Ctrl-C for
// hours: every port's read ends at once, nothing is stored, and each scanner
// still hears Image Mode left once it is done sending.
TEST_F(Capture, CtrlCEndsATricklingImageAtOnceOnEveryPort) {
  sim::SimScanner other;
  ASSERT_TRUE(other.Start());
  const std::vector<sim::SimScanner*> sims = {&sim, &other};
  for (sim::SimScanner* s : sims) s->faults().slowImageBytesMs = 200;
  CliProcess p({"--port", sim.SlavePath(), "--port", other.SlavePath(), "--json", "capture", "--dir", dir.path()});
  ASSERT_TRUE(p.Started());
  for (sim::SimScanner* s : sims)
    for (int i = 0; i < 500 && !Heard(s->Received(), Cmd(kCapture)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the headers are in, the image on its way
  p.Signal(SIGINT);
  const auto signalled = std::chrono::steady_clock::now();
  // Within the close's own wait for its answer (1 s), with room to spare.
  const int status = p.Wait(3000);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - signalled);
  ASSERT_EQ(status, 1) << "after " << took.count() << " ms";
  const auto lines = JsonLines(p.ReadLines(2, 1000));
  ASSERT_EQ(lines.size(), 2u) << p.out;
  for (const auto& j : lines) EXPECT_EQ(j["message"], "interrupted") << j;
  EXPECT_TRUE(dir.Entries().empty());
  // The rest of the image goes out (into a closed port), then the scanners read what came meanwhile.
  for (sim::SimScanner* s : sims) s->faults().slowImageBytesMs = 0;
  for (sim::SimScanner* s : sims) {
    for (int i = 0; i < 500 && !Heard(s->Received(), kStop); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Writes(s->Received()).back(), kStop);
    EXPECT_FALSE(s->InImageMode());
  }
}
