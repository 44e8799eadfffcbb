// SPDX-License-Identifier: Apache-2.0
// Throwaway measurement of the serial read path the Windows build is to use: a plain handle with
// COMMTIMEOUTS {MAXDWORD, 0, 0} (ReadFile returns at once with what has arrived), and between
// reads a wait on the cancel event in steps of a few ms while ClearCommError reports nothing
// queued. Under Wine, overlapped reads with these time-outs never complete and WaitCommEvent
// fires with an empty mask, so this is the path that behaves alike there and on Windows.
//
//   serial_read_spike COMn RATE query N STEP      N device type queries: reply, round trips
//   serial_read_spike COMn RATE silent MS N STEP  N waits of MS on a silent port: how they end
//   serial_read_spike COMn RATE cancel MS N STEP  a wait ended by another thread after MS
//   serial_read_spike COMn RATE idle MS STEP      one idle wait of MS: this process's CPU
//   serial_read_spike COMn RATE gaps N STEP       sends 'G', then prints when each of N bytes
//                                                 is read (ms of the clock Wine's QPC follows,
//                                                 CLOCK_MONOTONIC_RAW), for a peer's send times
// STEP is the longest wait between two looks at the port, in ms; 0 starts at 1 ms and lengthens
// the step to a quarter of the silence so far, up to 10 ms. A trailing "period1" runs the
// measurement inside timeBeginPeriod(1).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1000.0 / double(freq.QuadPart);
}

double CpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](FILETIME t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

HANDLE OpenPort(const char* name, DWORD rate) {
  std::wstring path = L"\\\\.\\";
  for (const char* p = name; *p; ++p) path += wchar_t(*p);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "CreateFileW %s: error %lu\n", name, GetLastError());
    std::exit(1);
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(h, &dcb);
  dcb.BaudRate = rate;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = dcb.fInX = FALSE;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  if (!SetCommState(h, &dcb)) std::fprintf(stderr, "SetCommState: error %lu\n", GetLastError());
  COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 1000};
  if (!SetCommTimeouts(h, &t)) std::fprintf(stderr, "SetCommTimeouts: error %lu\n", GetLastError());
  PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
  return h;
}

size_t ReadNow(HANDLE h, uint8_t* buf, size_t n) {
  DWORD got = 0;
  if (!ReadFile(h, buf, DWORD(n), &got, nullptr)) return 0;
  return got;
}

enum class Wait { Input, Cancelled, Timeout, Error };

// Until input is queued, the cancel event is set, or ms have passed.
Wait WaitInput(HANDLE port, HANDLE cancel, double ms, DWORD step) {
  const double start = NowMs(), end = start + ms;
  for (;;) {
    DWORD errors = 0;
    COMSTAT st{};
    if (!ClearCommError(port, &errors, &st)) return Wait::Error;
    if (st.cbInQue > 0) return Wait::Input;
    const double left = end - NowMs();
    if (left <= 0) return Wait::Timeout;
    const DWORD longest = step ? step : std::clamp<DWORD>(DWORD((NowMs() - start) / 4), 1, 10);
    const DWORD w = std::min<DWORD>(longest, DWORD(left) + 1);
    if (WaitForSingleObject(cancel, w) == WAIT_OBJECT_0) return Wait::Cancelled;
  }
}

struct Collected {
  size_t count = 0;
  double firstByteMs = -1;
  double endMs = 0;
  bool cancelled = false;
};

// The link's byte-at-a-time collection: ends when max bytes are in, or after firstMs of
// silence before the first byte and nextMs after one.
Collected Collect(HANDLE port, HANDLE cancel, uint8_t* buf, size_t max, double firstMs, double nextMs, DWORD step) {
  Collected c;
  const double start = NowMs();
  double idleStart = start;
  for (;;) {
    if (c.count < max && ReadNow(port, buf + c.count, 1) == 1) {
      if (c.count++ == 0) c.firstByteMs = NowMs() - start;
      idleStart = NowMs();
      if (c.count == max) break;
      continue;
    }
    const double limit = c.count == 0 ? firstMs : nextMs;
    const double idle = NowMs() - idleStart;
    if (idle >= limit) break;
    if (WaitInput(port, cancel, limit - idle, step) == Wait::Cancelled) {
      c.cancelled = true;
      break;
    }
  }
  c.endMs = NowMs() - start;
  return c;
}

void Write(HANDLE h, const uint8_t* b, size_t n) {
  DWORD done = 0;
  if (!WriteFile(h, b, DWORD(n), &done, nullptr) || done != n)
    std::fprintf(stderr, "WriteFile: %lu of %zu, error %lu\n", done, n, GetLastError());
  FlushFileBuffers(h);
}

void Stats(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  std::printf("%s: n=%zu min=%.2f median=%.2f p90=%.2f max=%.2f mean=%.2f ms\n", what, v.size(), v.front(),
              v[v.size() / 2], v[v.size() * 9 / 10], v.back(), sum / double(v.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: see the head of serial_read_spike.cpp\n");
    return 2;
  }
  const bool period1 = std::strcmp(argv[argc - 1], "period1") == 0;
  if (period1) std::printf("timeBeginPeriod(1) = %u\n", timeBeginPeriod(1));
  const std::string mode = argv[3];
  HANDLE port = OpenPort(argv[1], DWORD(std::atoi(argv[2])));
  HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);

  if (mode == "query") {
    const int n = std::atoi(argv[4]);
    const DWORD step = DWORD(std::atoi(argv[5]));
    static const uint8_t kQuery[] = {0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83};
    std::vector<double> first, full;
    for (int i = 0; i < n; ++i) {
      uint8_t reply[7];
      const double t0 = NowMs();
      Write(port, kQuery, sizeof kQuery);
      Collected c = Collect(port, cancel, reply, sizeof reply, 1000, 50, step);
      const double total = NowMs() - t0;
      if (i == 0) {
        std::printf("reply:");
        for (size_t k = 0; k < c.count; ++k) std::printf(" %02X", reply[k]);
        std::printf("  (%zu bytes; device type %d)\n", c.count, c.count == 7 && reply[1] == 0x52 ? reply[4] : -1);
      }
      if (c.count != sizeof reply) {
        std::printf("query %d: %zu bytes\n", i, c.count);
        return 1;
      }
      first.push_back(c.firstByteMs + (total - c.endMs));  // from the write, not the read
      full.push_back(total);
    }
    Stats("first reply byte after the write", first);
    Stats("round trip (write to 7th byte)", full);
  } else if (mode == "silent" || mode == "cancel") {
    const double ms = std::atof(argv[4]);
    const int n = std::atoi(argv[5]);
    const DWORD step = DWORD(std::atoi(argv[6]));
    std::vector<double> over;
    for (int i = 0; i < n; ++i) {
      uint8_t b[8];
      ResetEvent(cancel);
      double setAt = 0;
      std::jthread canceller;
      if (mode == "cancel") {
        canceller = std::jthread([&] {
          Sleep(DWORD(ms));
          setAt = NowMs();
          SetEvent(cancel);
        });
      }
      Collected c = Collect(port, cancel, b, sizeof b, mode == "cancel" ? 10000 : ms, 50, step);
      const double end = NowMs();
      canceller = {};
      if (c.count) std::printf("wait %d: %zu unexpected bytes\n", i, c.count);
      if (mode == "cancel" && !c.cancelled) std::printf("wait %d: not cancelled\n", i);
      over.push_back(mode == "cancel" ? end - setAt : c.endMs - ms);
    }
    Stats(mode == "cancel" ? "wait end after SetEvent" : "wait end past the limit", over);
  } else if (mode == "gaps") {
    const int n = std::atoi(argv[4]);
    const DWORD step = DWORD(std::atoi(argv[5]));
    const uint8_t go = 'G';
    Write(port, &go, 1);
    for (int i = 0; i < n; ++i) {
      uint8_t b;
      Collected c = Collect(port, cancel, &b, 1, 2000, 0, step);
      if (c.count != 1) {
        std::printf("byte %d missing\n", i);
        return 1;
      }
      std::printf("%.3f\n", NowMs());
    }
  } else if (mode == "idle") {
    const double ms = std::atof(argv[4]);
    const DWORD step = DWORD(std::atoi(argv[5]));
    uint8_t b[8];
    const double cpu0 = CpuMs(), t0 = NowMs();
    Collect(port, cancel, b, sizeof b, ms, 50, step);
    const double wall = NowMs() - t0, cpu = CpuMs() - cpu0;
    std::printf("idle %.0f ms, step %lu: process CPU %.1f ms (%.2f %%)\n", wall, step, cpu, 100.0 * cpu / wall);
  }
  if (period1) timeEndPeriod(1);
  CloseHandle(cancel);
  CloseHandle(port);
  return 0;
}
