// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QThread>

#include "link/discovery.h"

namespace varnet {

// Runs the search on its own thread. It never touches a widget: rows and
// progress travel to the window as queued signals.
class SearchWorker : public QThread {
  Q_OBJECT
 public:
  SearchWorker(DeviceRegistry& registry, bool settingMode, bool chinese, QObject* parent = nullptr);
  ~SearchWorker() override;
  // Ends the search early (the window is closing) and waits for it. The
  // probes' links belong to the search's threads: they are not closed from
  // here, the search is told to stop and closes them itself.
  void Cancel();

 signals:
  void progress(int position);
  void rowFound(const QStringList& columns);
  void searchDone(const varnet::SearchResult& result);

 protected:
  void run() override;

 private:
  DeviceRegistry& registry_;
  bool settingMode_;
  bool chinese_;
  LinkCancel cancel_;
};

}  // namespace varnet

Q_DECLARE_METATYPE(varnet::SearchResult)
