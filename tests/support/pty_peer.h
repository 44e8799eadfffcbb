#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace varnet::test {

// The far end of a pseudo-terminal, driven byte by byte from a test: a
// scanner that says exactly what the test scripts, faults included.
class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  bool ok() const { return master_ >= 0; }
  // Path of the terminal side, for OpenLink.
  const std::string& path() const { return path_; }

  // Gives up when the other side has read nothing for about a second.
  void Send(const std::vector<uint8_t>& bytes);
  void Send(const std::string& text);
  // Up to n bytes, waiting at most ms for each gap between them.
  std::vector<uint8_t> Receive(size_t n, uint32_t gapMs);
  // Whatever comes until the line has been quiet for quietMs.
  std::vector<uint8_t> ReceiveUntilQuiet(uint32_t quietMs);

  // Runs script on a thread of its own (one at a time); Join waits for it.
  void Run(std::function<void(PtyPeer&)> script);
  void Join();

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up
  std::string path_;
  std::thread thread_;
};

}  // namespace varnet::test
