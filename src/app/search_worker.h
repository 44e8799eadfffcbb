// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QObject>
#include <QStringList>

#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "link/discovery.h"
#include "ui_common/link_texts.h"

namespace varnet {

// Runs the search on a thread of its own. That thread never touches a widget
// or a Qt object: it queues rows and progress under a mutex and, when the
// queue was empty, posts one call to the window's thread, which takes them and
// emits the signals below there.
class SearchWorker : public QObject {
  Q_OBJECT
 public:
  SearchWorker(DeviceRegistry& registry, bool settingMode, bool chinese, QObject* parent = nullptr);
  ~SearchWorker() override;
  void start();
  // Ends the search early (the window is closing) and waits for it. The
  // probes' links belong to the search's threads: they are not closed from
  // here, the search is told to stop and closes them itself.
  void Cancel();
  // Waits for the search thread to end.
  void wait();

 signals:
  void progress(int position);
  void rowFound(const QStringList& columns);
  void searchDone(const varnet::SearchResult& result);

 private:
  struct Event {
    int position = -1;  // progress, when >= 0
    std::optional<DeviceRow> row;
    std::optional<SearchResult> done;
  };
  void Post(Event e);
  void Deliver();

  DeviceRegistry& registry_;
  bool settingMode_;
  bool chinese_;
  LinkCancel cancel_;
  std::mutex mu_;
  std::vector<Event> events_;  // guarded by mu_
  std::thread thread_;
};

}  // namespace varnet
