#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/pty_peer.h"

namespace varnet::test {

// A scanner played by a script on its own thread: it waits for what the
// tool writes and answers byte for byte, faults included.
class ScriptPeer {
 public:
  ScriptPeer() = default;
  ~ScriptPeer() { Join(); }
  ScriptPeer(const ScriptPeer&) = delete;
  ScriptPeer& operator=(const ScriptPeer&) = delete;

  const std::string& path() const { return pty_.SlavePath(); }

  // Gives up when the tool has read nothing for about a second.
  void Send(const std::vector<uint8_t>& bytes);
  void Send(const std::string& text);
  // Up to n bytes, waiting at most gapMs for each.
  std::vector<uint8_t> Receive(size_t n, uint32_t gapMs);
  // Whatever comes until the line has been quiet for quietMs.
  std::vector<uint8_t> ReceiveUntilQuiet(uint32_t quietMs);

  // Runs script on a thread of its own (one at a time); Join waits for it.
  void Run(std::function<void(ScriptPeer&)> script);
  void Join();

 private:
  PtyPeer pty_;
  std::thread thread_;
};

}  // namespace varnet::test
