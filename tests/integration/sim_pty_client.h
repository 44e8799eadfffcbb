// The tool's side of a simulator pty, with plain POSIX calls, for the
// simulator's own tests (independent of the tool's link code).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

// Frame checksum worked out the way the scanner checks it: all bytes before
// it plus the checksum read as a 16-bit number sum to a multiple of 65536.
inline bool ChecksumHolds(const Bytes& frame) {
  if (frame.size() < 4 || frame[0] + 2u != frame.size()) return false;
  uint32_t sum = 0;
  for (size_t i = 0; i < frame[0]; ++i) sum += frame[i];
  sum += (uint32_t{frame[frame[0]]} << 8) | frame[frame[0] + 1u];
  return (sum & 0xFFFF) == 0;
}

// Appends the checksum to a frame body.
inline Bytes WithChecksum(Bytes body) {
  uint32_t sum = 0;
  for (uint8_t b : body) sum += b;
  const uint16_t ck = static_cast<uint16_t>(-static_cast<int32_t>(sum));
  body.push_back(static_cast<uint8_t>(ck >> 8));
  body.push_back(static_cast<uint8_t>(ck));
  return body;
}

inline Bytes Short(uint8_t p1, uint8_t p2, uint8_t p3) { return WithChecksum({0x05, 0x57, p1, p2, p3}); }

inline Bytes Records(const Bytes& payload) {
  Bytes body = {static_cast<uint8_t>(payload.size() + 2), 0x58};
  body.insert(body.end(), payload.begin(), payload.end());
  return WithChecksum(body);
}

inline const Bytes kAck = {0x52, 0xA0, 0xEC, 0xFE, 0x74};
inline const Bytes kNak = {0x52, 0xA0, 0xE0, 0xFE, 0x80};

inline uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
inline uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

class PtyClient {
 public:
  explicit PtyClient(const std::string& path, speed_t speed = B115200) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return;
    SetSpeed(speed);
  }
  ~PtyClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  void SetSpeed(speed_t speed) {
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(fd_, TCSANOW, &t);
    ::tcflush(fd_, TCIOFLUSH);
  }

  void Write(const Bytes& b) {
    size_t done = 0;
    while (done < b.size()) {
      const ssize_t w = ::write(fd_, b.data() + done, b.size() - done);
      if (w > 0) {
        done += static_cast<size_t>(w);
      } else {
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0) return;
      }
    }
  }

  // Collects until `idleMs` pass without a byte (or `firstMs` before the
  // first one), or until `max` bytes are in.
  Bytes Read(int firstMs = 500, int idleMs = 60, size_t max = 1 << 22) {
    Bytes out;
    uint8_t buf[8192];
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, out.empty() ? firstMs : idleMs) <= 0) return out;
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) return out;
      out.insert(out.end(), buf, buf + n);
      if (out.size() >= max) return out;
    }
  }

  // Exactly n bytes, or fewer when a gap of gapMs passes.
  Bytes ReadExact(size_t n, int gapMs = 1000) {
    Bytes out;
    uint8_t buf[8192];
    while (out.size() < n) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, gapMs) <= 0) break;
      const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) break;
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }

  Bytes Ask(const Bytes& frame, int firstMs = 500) {
    Write(frame);
    return Read(firstMs);
  }

 private:
  int fd_ = -1;
};

}  // namespace simtest
