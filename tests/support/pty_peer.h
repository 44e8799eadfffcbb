#pragma once
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace varnet::test {

// The far end of a pseudo-terminal: tests play the scanner byte by byte
// with exact timing, and read what the tool wrote.
class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  const std::string& SlavePath() const { return slavePath_; }
  void Write(const std::vector<uint8_t>& bytes);
  // Writes the bytes from a thread, `gapMs` apart, after `delayMs`.
  void WriteLater(std::vector<uint8_t> bytes, int delayMs, int gapMs = 0);
  // Everything the tool wrote so far (waits up to waitMs for at least `atLeast` bytes).
  std::vector<uint8_t> ReadAll(int waitMs = 50, size_t atLeast = 0);
  void Join();
  void CloseMaster();  // the port goes away
  int masterFd() const { return master_; }

 private:
  int master_ = -1;
  int slaveKeep_ = -1;
  std::string slavePath_;
  std::vector<std::thread> writers_;
};

std::vector<uint8_t> Bytes(std::initializer_list<int> list);

}  // namespace varnet::test
