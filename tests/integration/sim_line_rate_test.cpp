// An RS-232 simulator judges the rate however the tool set it: programs may
// use the kernel's termios2 with an arbitrary rate (BOTHER) instead of the
// B-constants. Kept apart from <termios.h>, which clashes with termios2.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "sim/sim_scanner.h"

namespace {

// Raw 8-N-1 at `rate` through termios2, then one device type query.
std::vector<uint8_t> QueryAtRate(int fd, unsigned rate) {
  termios2 t{};
  EXPECT_EQ(::ioctl(fd, TCGETS2, &t), 0);
  t.c_iflag = 0;
  t.c_oflag = 0;
  t.c_lflag = 0;
  t.c_cflag = BOTHER | CS8 | CREAD | CLOCAL;
  t.c_ispeed = t.c_ospeed = rate;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  EXPECT_EQ(::ioctl(fd, TCSETS2, &t), 0);
  const uint8_t query[] = {0x05, 0x57, 0x0E, 0x0D, 0x06, 0xFF, 0x83};
  EXPECT_EQ(::write(fd, query, sizeof query), static_cast<ssize_t>(sizeof query));
  std::vector<uint8_t> got;
  uint8_t buf[64];
  pollfd p{fd, POLLIN, 0};
  while (got.size() < 7 && ::poll(&p, 1, 300) == 1) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.insert(got.end(), buf, buf + n);
  }
  return got;
}

TEST(SimLineRate, ArbitraryRateSettingsAreJudgedByTheirValue) {
  varnet::sim::SimScanner sim(varnet::sim::ProfileNamed("rs232"));
  ASSERT_TRUE(sim.Start());
  const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(QueryAtRate(fd, 57601).empty());
  EXPECT_TRUE(QueryAtRate(fd, 38400).empty());
  EXPECT_EQ(QueryAtRate(fd, 57600), std::vector<uint8_t>({0x05, 0x52, 0x0E, 0x0D, 0x01, 0xFF, 0x8D}));
  ::close(fd);
}

}  // namespace
