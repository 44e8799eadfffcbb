// SPDX-License-Identifier: Apache-2.0
#include "app/search_worker.h"

#include <QStringList>

#include <chrono>
#include <thread>

namespace varnet {

SearchWorker::SearchWorker(DeviceRegistry& registry, bool settingMode, bool chinese, QObject* parent)
    : QThread(parent), registry_(registry), settingMode_(settingMode), chinese_(chinese) {
  qRegisterMetaType<varnet::SearchResult>();
}

SearchWorker::~SearchWorker() { Cancel(); }

void SearchWorker::Cancel() {
  cancel_ = true;
  CloseLink(link_);  // wakes a probe that waits for an answer
  wait();
}

void SearchWorker::run() {
  SearchCallbacks cb;
  cb.progress = [this](int p) { emit progress(p); };
  cb.addRow = [this](const DeviceRow& r) {
    emit rowFound({QString::fromStdString(r.number), QString::fromStdString(r.status),
                   QString::fromStdString(r.description), QString::fromStdString(r.firmware)});
  };
  cb.sleepMs = [this](uint32_t ms) {
    for (uint32_t waited = 0; waited < ms && !cancel_; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  };
  SearchResult result = RunSearch(registry_, link_, settingMode_, chinese_, cb, &cancel_);
  if (!cancel_) emit searchDone(result);
}

}  // namespace varnet
