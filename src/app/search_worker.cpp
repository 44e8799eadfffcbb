// SPDX-License-Identifier: Apache-2.0
#include "app/search_worker.h"

#include <QStringList>

namespace varnet {

SearchWorker::SearchWorker(DeviceRegistry& registry, bool settingMode, bool chinese, QObject* parent)
    : QThread(parent), registry_(registry), settingMode_(settingMode), chinese_(chinese) {
  qRegisterMetaType<varnet::SearchResult>();
}

SearchWorker::~SearchWorker() { Cancel(); }

void SearchWorker::Cancel() {
  cancel_.Raise();
  wait();
}

void SearchWorker::run() {
  SearchCallbacks cb;
  cb.progress = [this](int p) { emit progress(p); };
  cb.addRow = [this](const DeviceRow& r) {
    emit rowFound({QString::fromStdString(r.number), QString::fromStdString(r.status),
                   QString::fromStdString(r.description), QString::fromStdString(r.firmware)});
  };
  cb.sleepMs = [this](uint32_t ms) { cancel_.Sleep(ms); };
  SearchResult result = RunSearch(registry_, settingMode_, chinese_, cb, &cancel_);
  if (!cancel_.Raised()) emit searchDone(result);
}

}  // namespace varnet
