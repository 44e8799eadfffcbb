// SPDX-License-Identifier: Apache-2.0
// export, import, apply of a configuration file and restore-defaults from
// the command line, on one simulated scanner and on several at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>
#include <sstream>

#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<bool> Oks(const std::vector<nlohmann::json>& lines) {
  std::vector<bool> oks;
  for (auto& l : lines) oks.push_back(l["ok"]);
  return oks;
}

Bytes FromHex(const std::string& hex) {
  Bytes b;
  std::istringstream in(hex);
  for (std::string byte; in >> byte;) b.push_back(uint8_t(std::stoul(byte, nullptr, 16)));
  return b;
}

// A scanner whose blocks differ from the factory ones in places both
// categories of settings show.
sim::Profile Tuned() {
  sim::Profile p;
  p.paramBlock[pb::ScanMode] = 2;  // Sense Mode
  p.formatBlock[27 * 8] = 'X';     // QR prefix "XR:"
  return p;
}

struct Sims {
  std::vector<std::unique_ptr<sim::SimScanner>> all;
  sim::SimScanner& Add(sim::Profile p = {}) {
    all.push_back(std::make_unique<sim::SimScanner>(std::move(p)));
    EXPECT_TRUE(all.back()->Start());
    return *all.back();
  }
  std::vector<std::string> PortArgs() const {
    std::vector<std::string> a;
    for (auto& s : all) a.insert(a.end(), {"--port", s->SlavePath()});
    return a;
  }
};

std::vector<std::string> Args(std::vector<std::string> a, const std::vector<std::string>& more) {
  a.insert(a.end(), more.begin(), more.end());
  return a;
}

}  // namespace

TEST(CliFleet, EveryPortIsAttemptedAndReportedOnItsOwn) {
  TempDir dir;
  Sims sims;
  sim::SimScanner& refusing = sims.Add();
  sim::SimScanner& legacy = sims.Add(sim::ProfileNamed("legacy"));
  sim::SimScanner& normal = sims.Add(Tuned());
  refusing.faults().refuseAll = true;

  // Each port exports into its own file; the one without a format block cannot.
  auto r = RunCli(Args(sims.PortArgs(), {"--json", "export", dir.File("unit.vt")}));
  EXPECT_EQ(r.status, 1);
  auto lines = JsonLines(r.out);
  ASSERT_EQ(Oks(lines), (std::vector<bool>{false, false, true})) << r.out;
  EXPECT_TRUE(Has(lines[0]["message"], "Connect Failed"));
  EXPECT_TRUE(Has(lines[1]["message"], "Export Failed"));
  const std::string pts = normal.SlavePath().substr(5);  // "pts/N"
  const std::string golden = dir.File("unit_pts-" + pts.substr(4) + ".vt");
  EXPECT_EQ(lines[2]["files"], nlohmann::json::array({golden}));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"unit_pts-" + pts.substr(4) + ".vt"});
  // No extension, a dot in a folder's name: the port goes on the file's name.
  std::filesystem::create_directory(dir.File("out.d"));
  for (const std::string& name : {dir.File("out.d/backup"), dir.File("./backup")}) {
    const std::string tagged = name + "_pts-" + pts.substr(4);
    r = RunCli(Args(sims.PortArgs(), {"--json", "export", name}));
    EXPECT_EQ(JsonLines(r.out).at(2)["files"], nlohmann::json::array({tagged})) << r.out;
    EXPECT_TRUE(std::filesystem::exists(tagged)) << tagged;
  }

  // The same file into all three, made permanent where it was taken.
  r = RunCli(Args(sims.PortArgs(), {"--save", "--json", "import", golden}));
  EXPECT_EQ(r.status, 1);
  lines = JsonLines(r.out);
  ASSERT_EQ(Oks(lines), (std::vector<bool>{false, true, true})) << r.out;
  EXPECT_TRUE(Has(lines[1]["message"], "only the parameter block"));
  EXPECT_EQ(lines[1]["verified"], true);
  EXPECT_TRUE(Has(lines[2]["message"], "Settings Imported Successfully\nverified"));
  EXPECT_TRUE(Has(lines[2]["message"], "Settings Saved Successfully"));
  EXPECT_EQ(legacy.ParamBlock(), normal.ParamBlock());
  EXPECT_EQ(legacy.SaveCount(), 1);
  EXPECT_EQ(normal.SaveCount(), 1);
  EXPECT_EQ(refusing.SaveCount(), 0);

  // In text mode each port has its heading, and the core's messages name their port.
  r = RunCli(Args(sims.PortArgs(), {"import", dir.File("missing.vt")}));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.out, "== " + legacy.SlavePath() + "\n"));
  EXPECT_TRUE(Has(r.err, "varnet-cli: " + normal.SlavePath() + ": Open File Failed!"));
}

TEST(CliParallel, PortsRunAtOnceAndReportInPortOrderJobsOneRunsThemInTurn) {
  Sims sims;
  std::vector<sim::SimScanner*> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(&sims.Add());
    slow.back()->faults().replyDelayMs = 150;  // five replies: 750 ms at least for each port
  }
  // The third port fails at once, long before the two before it are done.
  sims.all.insert(sims.all.begin() + 2, std::make_unique<sim::SimScanner>());
  sim::SimScanner& refusing = *sims.all[2];
  ASSERT_TRUE(refusing.Start());
  refusing.faults().refuseAll = true;
  auto timed = [&](std::vector<std::string> more) {
    const auto t0 = std::chrono::steady_clock::now();
    CliRun r = RunCli(Args(sims.PortArgs(), more));
    return std::make_pair(r, std::chrono::steady_clock::now() - t0);
  };

  auto [text, together] = timed({"--baud", "115200", "info"});
  EXPECT_EQ(text.status, 1);
  size_t at = 0;
  for (auto& s : sims.all) {
    const size_t heading = text.out.find("== " + s->SlavePath() + "\n", at);
    ASSERT_NE(heading, std::string::npos) << s->SlavePath() << "\n" << text.out;
    at = heading + 1;
  }
  EXPECT_TRUE(Has(text.err, "varnet-cli: " + refusing.SlavePath() + ": Connect Failed")) << text.err;
  auto json = RunCli(Args(sims.PortArgs(), {"--baud", "115200", "--json", "info"}));
  const auto lines = JsonLines(json.out);
  ASSERT_EQ(lines.size(), 4u) << json.out;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["port"], sims.all[i]->SlavePath());
    EXPECT_EQ(lines[i].contains("model_name"), i != 2) << lines[i];
  }

  // --jobs 1: the same output, the ports one after the other.
  auto [inTurn, oneByOne] = timed({"--jobs", "1", "--baud", "115200", "info"});
  EXPECT_EQ(inTurn.status, 1);
  EXPECT_EQ(inTurn.out, text.out);
  EXPECT_EQ(inTurn.err, text.err);
  EXPECT_GE(oneByOne, std::chrono::milliseconds(3 * 5 * 150));
  EXPECT_LT(together, std::chrono::milliseconds(3 * 5 * 150));
  for (const char* bad : {"0", "two"}) EXPECT_EQ(RunCli(Args(sims.PortArgs(), {"--jobs", bad, "info"})).status, 2);

  // One device named twice, the second time without /dev/: taken in turn, never opened twice at once.
  sim::SimScanner& twice = sims.Add();
  const auto r = RunCli({"--port", twice.SlavePath(), "--port", twice.SlavePath().substr(5), "--json", "info"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(JsonLines(r.out).size(), 2u);

  // Without --jobs every port given runs at once: the ninth is asked while
  // eight slow ones still wait for their replies (in turns of eight it would
  // wait 1.5 s for the first of them).
  Sims nine;
  for (int i = 0; i < 8; ++i) nine.Add().faults().replyDelayMs = 300;
  sim::SimScanner& ninth = nine.Add();
  std::thread run([&] { EXPECT_EQ(RunCli(Args(nine.PortArgs(), {"--baud", "115200", "info"})).status, 0); });
  EXPECT_TRUE(ninth.WaitReceived(1, 1000));
  run.join();
}

TEST(CliTransfer, RoundTripVerificationAndRestore) {
  TempDir dir;
  Sims sims;
  sim::SimScanner& source = sims.Add(Tuned());
  sim::SimScanner& target = sims.Add();
  const std::string golden = dir.File("golden.vt");
  ASSERT_EQ(RunCli({"--port", source.SlavePath(), "export", golden}).status, 0);

  // Applied, a configuration file is imported only where the scanner differs.
  auto r = RunCli({"--port", target.SlavePath(), "--save", "--json", "apply", golden});
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["changed"] && j["verified"]);
  EXPECT_EQ(j["changes"][0]["group"], "Scan Mode");
  EXPECT_EQ(target.ParamBlock(), source.ParamBlock());
  EXPECT_EQ(target.SaveCount(), 1);
  target.ClearReceived();
  r = RunCli({"--port", target.SlavePath(), "--json", "apply", golden});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(nlohmann::json::parse(r.out)["changed"]);
  EXPECT_TRUE(Writes(target.Received()).empty());

  // Acknowledged, but stored otherwise: both blocks' byte 57 is caught, nothing is saved.
  target.faults().storeDifferentByteAt = 57;
  r = RunCli({"--port", target.SlavePath(), "--save", "--json", "import", golden});
  EXPECT_EQ(r.status, 1);
  j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["verified"], false);
  ASSERT_EQ(j["mismatches"].size(), 2u) << j;
  const int sent[] = {source.ParamBlock()[57], (*source.FormatBlock())[57]};
  for (int b = 0; b < 2; ++b) {
    EXPECT_EQ(j["mismatches"][b]["block"], b ? "format" : "parameter");
    EXPECT_EQ(j["mismatches"][b]["offset"], 57);
    EXPECT_EQ(j["mismatches"][b]["sent"], sent[b]);
    EXPECT_EQ(j["mismatches"][b]["read"], sent[b] ^ 0x5A);
  }
  EXPECT_EQ(target.SaveCount(), 1);
  EXPECT_EQ(RunCli({"--port", target.SlavePath(), "--no-verify", "import", golden}).status, 0);

  // A restore the scanner does not acknowledge is a failure, and is not saved.
  ASSERT_EQ(RunCli({"--port", target.SlavePath(), "restore-defaults"}).status, 0);
  EXPECT_EQ(target.ParamBlock(), target.DefaultParam());
  target.faults().leaveUnacked = true;
  EXPECT_EQ(RunCli({"--port", target.SlavePath(), "--save", "restore-defaults"}).status, 1);
  EXPECT_EQ(target.SaveCount(), 1);
}

// A destination that cannot take the files fails before the scanner hears a
// thing; a failure during the transfer says why as well.
TEST(CliTransfer, ExportFailedSaysWhy) {
  TempDir dir;
  Sims sims;
  sim::SimScanner& s = sims.Add();
  WriteWholeFile(dir.File("plain"), {1});
  const std::string missing = "Export Failed\nThe folder does not exist.";
  std::vector<std::pair<std::string, std::string>> destinations = {{dir.File("gone/x.vt"), missing},
                                                                   {dir.File("plain/x.vt"), missing}};
  if (const std::string locked = FolderNobodyMayWrite(); !locked.empty())
    destinations.push_back({locked + "/x.vt", "Export Failed\nPermission denied: the file cannot be written there."});
  for (const char* command : {"export", "export-qr"}) {
    for (const auto& [file, why] : destinations) {
      auto r = RunCli({"--port", s.SlavePath(), command, file});
      EXPECT_EQ(r.status, 1) << command << " " << file;
      EXPECT_TRUE(Has(r.err, why + "\n")) << r.err;
    }
  }
  auto r = RunCli({"--port", s.SlavePath(), "--json", "export", dir.File("gone/x.vt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(nlohmann::json::parse(r.out),
            (nlohmann::json{{"file", dir.File("gone/x.vt")}, {"ok", false}, {"message", missing}}));
  // The other commands that write files, each with its own destinations.
  r = RunCli({"--port", s.SlavePath(), "profile", dir.File("gone/p.yaml")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, missing + "\n")) << r.err;
  // A folder that cannot be made is named, and so is the part of it that fails.
  std::vector<std::pair<std::string, std::string>> folders = {
      {dir.File("plain"), "not a folder"},
      {dir.File("plain/sub/shots"), "cannot create the folder " + dir.File("plain/sub") + ": Not a directory"}};
  if (const std::string locked = FolderNobodyMayWrite(); !locked.empty())
    folders.push_back({locked + "/shots", "cannot create the folder: "});
  for (const auto& [folder, why] : folders) {
    r = RunCli({"--port", s.SlavePath(), "capture", "--dir", folder});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.rfind("varnet-cli: " + folder + ": " + why, 0) == 0 && r.err.find('\n') + 1 == r.err.size())
        << r.err;
  }
  EXPECT_TRUE(s.Received().empty());

  // A reason found once connected.
  r = RunCli({"--port", sims.Add(sim::ProfileNamed("legacy")).SlavePath(), "export-qr", dir.File("x.bmp")});
  EXPECT_TRUE(Has(r.err, "Export Failed\nThe scanner did not send its format block.\n")) << r.err;
}

TEST(CliDryRun, SendsNothingButTheConnectionAndListsWhatARealRunSends) {
  TempDir dir;
  Sims sims;
  sim::SimScanner& s = sims.Add(Tuned());
  const std::string golden = dir.File("golden.vt");
  ASSERT_EQ(RunCli({"--port", s.SlavePath(), "export", golden}).status, 0);
  s.ClearReceived();
  ASSERT_EQ(RunCli({"--port", s.SlavePath(), "info"}).status, 0);
  const std::vector<Bytes> connect = s.Received();

  const std::vector<std::vector<std::string>> commands{
      {"import", golden},
      {"set", "Scan Mode", "Level Trigger", "Readable Symbologies", "QR", "off", "Readable Symbologies", "EAN-8"},
      {"restore-defaults"}};
  const size_t expectedFrames[] = {8 + 1, 3 + 1, 3 + 1};  // the save frame included
  for (size_t c = 0; c < commands.size(); ++c) {
    SCOPED_TRACE(commands[c][0]);
    s.ClearReceived();
    auto dry = RunCli(Args({"--port", s.SlavePath(), "--save", "--json", "--dry-run"}, commands[c]));
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(s.Received(), connect);
    std::vector<Bytes> planned = connect;
    const auto frames = nlohmann::json::parse(dry.out)["frames"];
    for (auto& f : frames) planned.push_back(FromHex(f["hex"]));
    EXPECT_EQ(planned.size() - connect.size(), expectedFrames[c]);

    s.ClearReceived();
    auto real = RunCli(Args({"--port", s.SlavePath(), "--save"}, commands[c]));
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(s.Received(), planned);
  }
  EXPECT_EQ(RunCli({"--port", s.SlavePath(), "--dry-run", "save"}).status, 2);
}

TEST(CliSet, SeveralPairsAreCheckedBeforeAnythingIsSent) {
  Sims sims;
  sim::SimScanner& s = sims.Add();
  // A wrong last pair, a choice switched off, a group without option: nothing is sent.
  for (auto tail : {std::vector<std::string>{"Readable Symbologies", "QRR"}, {"off"}, {"Readable Symbologies"}})
    EXPECT_EQ(RunCli(Args({"--port", s.SlavePath(), "set", "Scan Mode", "Sense Mode"}, tail)).status, 2);
  EXPECT_EQ(s.ParamBlock()[55], 1);

  // A refused pair stops the rest, and nothing is saved.
  s.faults().RefuseCommand(0xDB, 0x01, 0x0D);  // QR off
  auto r = RunCli({"--port", s.SlavePath(), "--save", "set", "Scan Mode", "Sense Mode", "Readable Symbologies", "qr",
                   "OFF", "Readable Symbologies", "EAN-8", "off"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Set Failed: Readable Symbologies: QR\nthe rest was not sent"));
  EXPECT_EQ(s.ParamBlock()[55], 2);
  EXPECT_EQ(s.SaveCount(), 0);
}
