// SPDX-License-Identifier: Apache-2.0
// Soak run of the desktop program on a simulated scanner: Image Mode
// captures fetched back to back through the main window's timer tick, then
// connect/disconnect cycles. Resident memory is compared after a warm-up,
// open descriptors and threads at the start and the end of each part.
// Run through bench/soak.sh; the exit status is 1 when anything grew.
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "app/varnet_dlg.h"
#include "sim/sim_scanner.h"
#include "support/fake_registry.h"
#include "support/gui_helpers.h"
#include "support/recording_prompts.h"

using namespace varnet;

namespace {

struct Usage {
  long rssKiB = 0;
  long heapKiB = 0;  // malloc'ed and not freed, whatever the pages
  int fds = 0;
  int threads = 0;
};

int Entries(const char* dir) {
  int n = 0;
  if (DIR* d = opendir(dir)) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

Usage Measure() {
  Usage u;
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  u.rssKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
  u.heapKiB = long(mallinfo2().uordblks / 1024);
  u.fds = Entries("/proc/self/fd") - 1;  // less the one opendir holds
  u.threads = Entries("/proc/self/task");
  return u;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Prints one part's figures; false when memory grew by more than 2 MiB or a
// descriptor or thread was left behind.
bool Report(const char* part, int done, double seconds, const Usage& start, const Usage& warm, const Usage& end) {
  const long grew = end.rssKiB - warm.rssKiB;
  std::printf("%s: %d in %.1f s (%.1f ms each)\n", part, done, seconds, 1000.0 * seconds / done);
  std::printf("  resident memory: %ld KiB at the start, %ld KiB after warm-up, %ld KiB at the end (%+ld KiB)\n",
              start.rssKiB, warm.rssKiB, end.rssKiB, grew);
  std::printf("  heap in use: %ld KiB after warm-up, %ld KiB at the end (%+ld KiB)\n", warm.heapKiB, end.heapKiB,
              end.heapKiB - warm.heapKiB);
  std::printf("  descriptors: %d -> %d; threads: %d -> %d\n", start.fds, end.fds, start.threads, end.threads);
  const bool ok = grew <= 2048 && end.fds <= start.fds && end.threads <= start.threads;
  std::printf("  %s\n", ok ? "ok" : "FAILED");
  return ok;
}

int Arg(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  const int captures = Arg(argc, argv, "--captures", 10000);
  const int cycles = Arg(argc, argv, "--cycles", 1000);
  const int warmCaptures = captures / 10, warmCycles = cycles / 10;
  // Qt starts its image scaling threads with the first pictures it scales:
  // descriptors and threads are counted from the end of the first captures.
  const int firstCaptures = std::min(100, captures);

  sim::SimScanner scanner(sim::ProfileNamed("usb"));
  if (!scanner.Start()) return std::fputs("soak: no pseudo-terminal\n", stderr), 2;
  test::FakeRegistry registry;
  registry.Set(0, {scanner.SlavePath()});
  test::RecordingPrompts prompts;
  AppState app;
  app.prompts = &prompts;
  CVarnetDlg dlg(app, registry);
  dlg.Initialise(1920, 1080);
  dlg.show();
  dlg.StartSearch();
  if (!test::WaitUntil([&] { return !dlg.Searching(); }, 30000) || dlg.DeviceList()->topLevelItemCount() != 1)
    return std::fputs("soak: the search did not find the simulated scanner\n", stderr), 2;
  QTreeWidgetItem* row = dlg.DeviceList()->topLevelItem(0);
  auto connect = [&] {
    dlg.DeviceList()->setCurrentItem(row);
    dlg.Connect();
    dlg.Timer().stop();  // ticked by hand, back to back
    return app.link.IsOpen();
  };

  // Captures: the tick re-arms the timer only after a capture was fetched
  // and shown.
  if (!connect()) return std::fputs("soak: connect failed\n", stderr), 2;
  QCoreApplication::processEvents();
  const Usage before = Measure();
  Usage start, warm;
  auto t0 = std::chrono::steady_clock::now();
  int shown = 0, ticks = 0;
  while (shown < captures && ticks < 2 * captures + 100) {
    dlg.OnTimerTick();
    ++ticks;
    const bool fetched = dlg.Timer().isActive();
    shown += fetched;
    dlg.Timer().stop();
    QCoreApplication::processEvents();
    if (ticks % 100 == 0) scanner.ClearReceived();  // the simulator's own record, not the program's
    if (fetched && shown == firstCaptures) start = Measure();
    if (fetched && shown == warmCaptures) warm = Measure();
    if (fetched && shown % 1000 == 0) {
      const Usage u = Measure();
      std::printf("  %6d: resident %ld KiB, heap in use %ld KiB\n", shown, u.rssKiB, u.heapKiB);
    }
  }
  std::printf("  before the first capture: %ld KiB resident, %d descriptors, %d threads\n", before.rssKiB, before.fds,
              before.threads);
  bool ok = Report("captures", shown, Seconds(t0), start, warm, Measure()) && shown == captures;
  std::printf("  ticks: %d\n", ticks);
  dlg.Disconnect();

  // Connect and disconnect, as the window does.
  QCoreApplication::processEvents();
  start = Measure(), warm = {};
  t0 = std::chrono::steady_clock::now();
  int done = 0;
  for (; done < cycles; ++done) {
    if (!connect()) break;
    dlg.Disconnect();
    QCoreApplication::processEvents();
    scanner.ClearReceived();
    if (done + 1 == std::max(1, warmCycles)) warm = Measure();
  }
  ok = Report("connect/disconnect cycles", done, Seconds(t0), start, warm, Measure()) && done == cycles && ok;
  return ok ? 0 : 1;
}
