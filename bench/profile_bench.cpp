// SPDX-License-Identifier: Apache-2.0
// What applying a profile costs against what people compare it with, on
// the simulated scanner: a profile the scanner already matches against one
// `get` (connect, read, list), and a profile that changes ten groups
// against a `set` of the same ten clicks plus one `get`.
#include <benchmark/benchmark.h>

#include <fstream>

#include "link/device_info.h"
#include "link/scanner_texts.h"
#include "link/serial_link.h"
#include "pages/page_summary.h"
#include "profiles/profile.h"
#include "profiles/profile_apply.h"
#include "profiles/profile_plan.h"
#include "profiles/profile_writer.h"
#include "settings/apply_option.h"
#include "settings/model_rules.h"
#include "sim/sim_scanner.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace {

using namespace varnet;

struct Connection {
  ScannerLink link;
  DeviceInfo info;
  ScannerModel model;
};

// The command line's connect: open, device information, firmware and serial number texts.
bool Connect(const std::string& port, Connection& c) {
  if (!OpenLink(c.link, port, 921600) || !ReadDeviceInformation(c.link, c.info)) return false;
  c.model = ScannerModel::From(c.info.paramBlock, ReadScannerTexts(c.link, c.info).firmware);
  return true;
}

// What `get` works out once connected: every shown group's ticks and the page fields.
size_t ListSettings(const Connection& c) {
  size_t n = 0;
  for (int cat = 0; cat < kCategoryCount; ++cat)
    for (const EffectiveGroup& g : ShownGroups(cat, c.model)) {
      const auto shown = ShownOptions(g, c.model);
      n += TicksInForce(g, shown, c.info.paramBlock).size();
    }
  for (const PageCategory& pc : PageCategories(c.info.paramBlock, c.info.formatBlock)) n += pc.groups.size();
  return n;
}

const char* kTenGroups =
    "varnet-profile: 1\nsettings:\n"
    "  Scan Settings:\n    Scan Mode: Sense Mode\n    Power On Beep: \"Off\"\n    Good Read Beep: \"Off\"\n"
    "    Good Read Frequency: High\n    Aiming LED: Always On\n    Illumination Mode: Always On\n"
    "  Decode Settings:\n    Decode Area: 50%\n    Decode Redundancy: Read 2 times\n"
    "    Same Barcode Reading Mode: Ignore Last Barcode\n"
    "  Interface:\n    USB Keyboard: UK\n";

void BM_Get(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  for (auto _ : state) {
    Connection c;
    if (!Connect(sim.SlavePath(), c)) return state.SkipWithError("no connection");
    benchmark::DoNotOptimize(ListSettings(c));
    CloseLink(c.link);
  }
}
BENCHMARK(BM_Get)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ApplyMatchingProfile(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  std::string text;
  {
    Connection c;
    if (!Connect(sim.SlavePath(), c)) return state.SkipWithError("no connection");
    text = profiles::WriteProfile(c.info, c.model);
    CloseLink(c.link);
  }
  for (auto _ : state) {
    Connection c;
    if (!Connect(sim.SlavePath(), c)) return state.SkipWithError("no connection");
    const profiles::ReadResult read = profiles::ReadProfile(text);
    const profiles::ProfilePlan plan = profiles::PlanProfile(*read.profile, c.info, c.model);
    if (!plan.steps.empty()) return state.SkipWithError("the scanner does not match");
    CloseLink(c.link);
  }
}
BENCHMARK(BM_ApplyMatchingProfile)->Unit(benchmark::kMillisecond)->UseRealTime();

// `set` with the ten clicks on one connection, then one `get`.
void BM_TenSetClicksThenGet(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  const profiles::ReadResult read = profiles::ReadProfile(kTenGroups);
  for (auto _ : state) {
    state.PauseTiming();
    sim.SetParamBlock(sim.DefaultParam());
    state.ResumeTiming();
    Connection c;
    if (!Connect(sim.SlavePath(), c)) return state.SkipWithError("no connection");
    // The same rows a person would click, found the way `set` finds them.
    const profiles::ProfilePlan plan = profiles::PlanProfile(*read.profile, c.info, c.model);
    for (const profiles::PlanStep& step : plan.steps) {
      const auto shown = ShownOptions(step.group, c.model);
      size_t row = 0;
      while (row < shown.size() && shown[row].index != step.option) ++row;
      if (!ApplyOption(c.link, c.info, step.group, shown, TicksInForce(step.group, shown, c.info.paramBlock), row,
                       false)
               .acked)
        return state.SkipWithError("not acknowledged");
    }
    CloseLink(c.link);
    Connection g;
    if (!Connect(sim.SlavePath(), g)) return state.SkipWithError("no connection");
    benchmark::DoNotOptimize(ListSettings(g));
    CloseLink(g.link);
  }
}
BENCHMARK(BM_TenSetClicksThenGet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ApplyTenGroupProfile(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  for (auto _ : state) {
    state.PauseTiming();
    sim.SetParamBlock(sim.DefaultParam());
    state.ResumeTiming();
    Connection c;
    if (!Connect(sim.SlavePath(), c)) return state.SkipWithError("no connection");
    const profiles::ReadResult read = profiles::ReadProfile(kTenGroups);
    const profiles::ProfilePlan plan = profiles::PlanProfile(*read.profile, c.info, c.model);
    if (plan.steps.size() != 10) return state.SkipWithError("expected ten clicks");
    if (profiles::ExecutePlan(c.link, c.info, c.model, plan).failed) return state.SkipWithError("not acknowledged");
    if (!profiles::VerifyProfile(c.link, c.info, c.model, *read.profile).Verified())
      return state.SkipWithError("not verified");
    CloseLink(c.link);
  }
}
BENCHMARK(BM_ApplyTenGroupProfile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same through the command line, as people run it: one process's work
// per run (connect, the command, close).
void BM_CliGet(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  for (auto _ : state)
    if (test::RunCli({"--port", sim.SlavePath(), "get"}).status != 0) return state.SkipWithError("get failed");
}
BENCHMARK(BM_CliGet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliApplyMatchingProfile(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  test::TempDir dir;
  const std::string file = dir.File("till.yaml");
  if (test::RunCli({"--port", sim.SlavePath(), "profile", file}).status != 0) return state.SkipWithError("no profile");
  sim.ClearReceived();
  for (auto _ : state)
    if (test::RunCli({"--port", sim.SlavePath(), "apply", file}).status != 0)
      return state.SkipWithError("apply failed");
  if (sim.SaveCount() != 0) state.SkipWithError("something was saved");
}
BENCHMARK(BM_CliApplyMatchingProfile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliTenSetClicksThenGet(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  const std::vector<std::string> set = {"--port",
                                        sim.SlavePath(),
                                        "set",
                                        "Scan Mode",
                                        "Sense Mode",
                                        "Power On Beep",
                                        "Off",
                                        "Good Read Beep",
                                        "Off",
                                        "Good Read Frequency",
                                        "High",
                                        "Aiming LED",
                                        "Always On",
                                        "Illumination Mode",
                                        "Always On",
                                        "Decode Area",
                                        "50%",
                                        "Decode Redundancy",
                                        "Read 2 times",
                                        "Same Barcode Reading Mode",
                                        "Ignore Last Barcode",
                                        "USB Keyboard",
                                        "UK"};
  for (auto _ : state) {
    state.PauseTiming();
    sim.SetParamBlock(sim.DefaultParam());
    state.ResumeTiming();
    if (test::RunCli(set).status != 0) return state.SkipWithError("set failed");
    if (test::RunCli({"--port", sim.SlavePath(), "get"}).status != 0) return state.SkipWithError("get failed");
  }
}
BENCHMARK(BM_CliTenSetClicksThenGet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliApplyTenGroupProfile(benchmark::State& state) {
  sim::SimScanner sim;
  if (!sim.Start()) return state.SkipWithError("no pty");
  test::TempDir dir;
  const std::string file = dir.File("ten.yaml");
  std::ofstream(file) << kTenGroups;
  for (auto _ : state) {
    state.PauseTiming();
    sim.SetParamBlock(sim.DefaultParam());
    state.ResumeTiming();
    if (test::RunCli({"--port", sim.SlavePath(), "apply", file}).status != 0) return state.SkipWithError("failed");
  }
}
BENCHMARK(BM_CliApplyTenGroupProfile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reader and planner alone, without the port.
void BM_ReadAndPlanWrittenProfile(benchmark::State& state) {
  DeviceInfo info;
  const sim::Profile p;
  std::copy_n(p.paramBlock.begin(), ParamBlock::kSize, info.paramBlock.bytes.begin());
  info.formatBlock = p.formatBlock;
  const ScannerModel model = ScannerModel::From(info.paramBlock, p.firmware);
  const std::string text = profiles::WriteProfile(info, model);
  for (auto _ : state) {
    const profiles::ReadResult read = profiles::ReadProfile(text);
    benchmark::DoNotOptimize(profiles::PlanProfile(*read.profile, info, model).steps.size());
  }
}
BENCHMARK(BM_ReadAndPlanWrittenProfile)->Unit(benchmark::kMicrosecond);

}  // namespace
