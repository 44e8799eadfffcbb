// SPDX-License-Identifier: Apache-2.0
// Profiles applied to the simulated scanner over its pty, and read by the
// YAML 1.1 and JSON Schema tools people use beside them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "link/device_info.h"
#include "link/protocol.h"
#include "link/scanner_texts.h"
#include "link/serial_link.h"
#include "profiles/profile.h"
#include "profiles/profile_apply.h"
#include "profiles/profile_plan.h"
#include "profiles/profile_schema.h"
#include "profiles/profile_writer.h"
#include "sim/sim_scanner.h"
#include "support/connected_scanner.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "support/wire.h"
#include "ui_common/link_texts.h"

namespace varnet {
namespace {

using namespace profiles;
using Bytes = std::vector<uint8_t>;
using test::Cmd;

struct Connected : test::ConnectedScanner {
  explicit Connected(const sim::Profile& p = {}) : ConnectedScanner(p, 921600) {}
};

Profile Read(const std::string& text) {
  ReadResult r = ReadProfile(text);
  EXPECT_TRUE(r.profile) << (r.errors.empty() ? "" : ErrorText(r.errors[0]));
  return r.profile.value_or(Profile{});
}

std::vector<Bytes> Frames(const ProfilePlan& plan) {
  std::vector<Bytes> frames;
  for (const PlanStep& step : plan.steps)
    for (const PlannedFrame& f : step.frames) frames.push_back(f.bytes);
  return frames;
}

// Standard output of python3 running `script` with the given arguments.
std::string Python(const test::TempDir& dir, const std::string& script, const std::string& args, int& status) {
  const std::string path = dir.File("check.py");
  std::ofstream(path) << script;
  FILE* p = ::popen(("python3 " + path + " " + args + " 2>&1").c_str(), "r");
  std::string out;
  char buf[4096];
  for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  status = p ? ::pclose(p) : -1;
  return out;
}

const char* kEdited =
    "varnet-profile: 1\nmodel: {name: HS-2D, code: 1}\nsettings:\n"
    "  Scan Settings:\n    Scan Mode: Continuous Scane\n    Power On Beep: \"Off\"\n"
    "  Symbologies:\n    Readable Symbologies: {add: [Code 93]}\n    MSI: [MOD10/MOD11, Transmit Check Digits]\n"
    "  Output Settings:\n    Ending Character: TAB\n    QR Prefix: \"QR \"\n"
    "  Trigger Settings:\n    Stop Scan CMD: \"SP \"\n";

TEST(ProfilesOnTheSimulator, ApplyThenVerifyThenNothingLeftToSend) {
  Connected a, b;
  ASSERT_TRUE(a.ok && b.ok);
  // Scanner A is set up by a profile; its written profile then brings B to the same.
  const ProfilePlan toA = PlanProfile(Read(kEdited), a.info, a.model);
  ASSERT_FALSE(toA.Refused()) << RefusalsText(toA.refusals);
  const ExecuteResult applied = ExecutePlan(a.link, a.info, a.model, toA);
  ASSERT_FALSE(applied.failed) << applied.failedStep;
  EXPECT_EQ(applied.taken.size(), toA.steps.size());
  EXPECT_TRUE(VerifyProfile(a.link, a.info, a.model, Read(kEdited)).Verified());
  // Exactly the planned frames, then the read-back of both blocks.
  std::vector<Bytes> expected = Frames(toA);
  expected.push_back(Cmd(kReadParamBlock));
  expected.push_back(Cmd(kReadFormatBlock));
  EXPECT_EQ(a.sim.Received(), expected);
  // A format block that cannot be read back proves nothing, whatever the copy holds.
  a.sim.faults().blockFaultKind = sim::BlockKind::Format;
  a.sim.faults().blockShortBy = 1;
  const Verification unread = VerifyProfile(a.link, a.info, a.model, Read(kEdited));
  EXPECT_FALSE(unread.readable || unread.Verified());
  a.sim.faults().blockShortBy = 0;

  const std::string written = WriteProfile(a.info, a.model);
  const ProfilePlan toB = PlanProfile(Read(written), b.info, b.model);
  ASSERT_FALSE(toB.Refused()) << RefusalsText(toB.refusals);
  EXPECT_EQ(Frames(toB), Frames(toA));  // the same changes, found from B's own blocks
  ASSERT_FALSE(ExecutePlan(b.link, b.info, b.model, toB).failed);
  const Verification v = VerifyProfile(b.link, b.info, b.model, Read(written));
  EXPECT_TRUE(v.Verified()) << (v.left.empty() ? "" : v.left[0].group);
  // Texts with a trailing blank come back whole through the written YAML.
  EXPECT_EQ(WriteProfile(b.info, b.model), written);
  EXPECT_EQ(b.sim.ParamBlock(), a.sim.ParamBlock());
  EXPECT_EQ(b.sim.FormatBlock(), a.sim.FormatBlock());
}

TEST(ProfilesOnTheSimulator, ARefusedStepEndsTheApplyWithWhatWasTaken) {
  Connected s;
  ASSERT_TRUE(s.ok);
  const ProfilePlan plan = PlanProfile(Read(kEdited), s.info, s.model);
  ASSERT_GE(plan.steps.size(), 4u);
  s.sim.faults().RefuseCommand(0xA1, 0x05, 0x1D);  // Power On Beep Off, the second step
  const ExecuteResult r = ExecutePlan(s.link, s.info, s.model, plan);
  EXPECT_TRUE(r.failed);
  // The copy holds what the scanner took, and no more.
  EXPECT_EQ(s.info.paramBlock.U8(pb::ScanMode), 3);
  EXPECT_EQ(s.info.paramBlock.U8(65), 1);
  const Verification v = VerifyProfile(s.link, s.info, s.model, Read(kEdited));
  EXPECT_FALSE(v.Verified());
  EXPECT_EQ(v.left.size(), plan.changes.size() - 1);
}

TEST(ProfilesOnTheSimulator, AProfileThroughPyYamlStillApplies) {
  Connected a, b;
  ASSERT_TRUE(a.ok && b.ok);
  ASSERT_FALSE(ExecutePlan(a.link, a.info, a.model, PlanProfile(Read(kEdited), a.info, a.model)).failed);
  test::TempDir dir;
  std::ofstream(dir.File("a.yaml")) << WriteProfile(a.info, a.model);
  // What Ansible does to a file: load with YAML 1.1 rules, dump again.
  std::ofstream(dir.File("edited.yaml")) << kEdited << "  Interface:\n    RS232 Baud Rate: 9600\n"
                                         << "  Decode Settings:\n    Same Barcode Interval Time: 500 ms\n";
  int status = 0;
  const std::string out = Python(dir,
                                 "import sys, yaml\n"
                                 "for name in sys.argv[1:]:\n"
                                 "    data = yaml.safe_load(open(name))\n"
                                 "    yaml.safe_dump(data, open(name + '.out', 'w'), allow_unicode=False)\n"
                                 "    print(type(data['settings']['Scan Settings']['Power On Beep']).__name__)\n",
                                 dir.File("a.yaml") + " " + dir.File("edited.yaml"), status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out, "str\nstr\n");  // the writer's quotes kept "On"/"Off" a text
  std::ifstream dumped(dir.File("a.yaml.out")), edited(dir.File("edited.yaml.out"));
  const std::string aText{std::istreambuf_iterator<char>(dumped), {}};
  const std::string editedText{std::istreambuf_iterator<char>(edited), {}};
  EXPECT_TRUE(PlanProfile(Read(aText), a.info, a.model).steps.empty());
  const std::vector<Bytes> frames = Frames(PlanProfile(Read(kEdited), b.info, b.model));
  EXPECT_EQ(Frames(PlanProfile(Read(aText), b.info, b.model)), frames);
  EXPECT_EQ(Frames(PlanProfile(Read(editedText), b.info, b.model)), frames);
  // Unquoted, "Off" comes back from PyYAML as false and is taken as "Off".
  const std::string unquoted = "varnet-profile: 1\nsettings:\n  Scan Settings:\n    Power On Beep: false\n";
  EXPECT_EQ(Frames(PlanProfile(Read(unquoted), b.info, b.model)), std::vector<Bytes>{Cmd(0xA1, 0x05, 0x1D)});
}

TEST(ProfilesOnTheSimulator, WrittenProfilesValidateAgainstTheSchema) {
  test::TempDir dir;
  std::ofstream(dir.File("schema.json")) << ProfileSchema().dump(2);
  std::string files;
  for (const std::string& name : sim::ProfileNames()) {
    Connected s(sim::ProfileNamed(name));
    ASSERT_TRUE(s.ok) << name;
    std::ofstream(dir.File(name + ".yaml")) << WriteProfile(s.info, s.model);
    files += " " + dir.File(name + ".yaml");
  }
  std::ofstream(dir.File("edited.yaml")) << kEdited;
  std::string typo = kEdited;
  typo.replace(typo.find("Continuous Scane"), 16, "Continuous Scan");
  std::ofstream(dir.File("typo.yaml")) << typo;
  int status = 0;
  const std::string out =
      Python(dir,
             "import sys, json, yaml, jsonschema\n"
             "schema = json.load(open(sys.argv[1]))\n"
             "jsonschema.Draft202012Validator.check_schema(schema)\n"
             "v = jsonschema.Draft202012Validator(schema)\n"
             "for name in sys.argv[2:]:\n"
             "    errors = list(v.iter_errors(yaml.safe_load(open(name))))\n"
             "    print(name.rsplit('/', 1)[1], len(errors), *[e.message for e in errors])\n",
             dir.File("schema.json") + files + " " + dir.File("edited.yaml") + " " + dir.File("typo.yaml"), status);
  ASSERT_EQ(status, 0) << out;
  std::string expected;
  for (const std::string& name : sim::ProfileNames()) expected += name + ".yaml 0\n";
  expected += "edited.yaml 0\n";
  EXPECT_EQ(out.substr(0, expected.size()), expected) << out;
  EXPECT_NE(out.find("typo.yaml 1 'Continuous Scan' is not one of"), std::string::npos) << out;
}

}  // namespace
}  // namespace varnet
