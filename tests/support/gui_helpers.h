// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace varnet::test {

// Runs the event loop until cond holds or timeoutMs passes.
inline bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!cond()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace varnet::test
