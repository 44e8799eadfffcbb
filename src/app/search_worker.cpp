// SPDX-License-Identifier: Apache-2.0
#include "app/search_worker.h"

namespace varnet {

SearchWorker::SearchWorker(DeviceRegistry& registry, bool settingMode, bool chinese, QObject* parent)
    : QObject(parent), registry_(registry), settingMode_(settingMode), chinese_(chinese) {}

SearchWorker::~SearchWorker() { Cancel(); }

void SearchWorker::start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] {
    SearchCallbacks cb;
    cb.progress = [this](int p) { Post({p, {}, {}}); };
    cb.found = [this](const FoundScanner& f) { Post({-1, DeviceRowFor(f, chinese_), {}}); };
    cb.sleepMs = [this](uint32_t ms) { cancel_.Sleep(ms); };
    SearchResult result = RunSearch(registry_, settingMode_, cb, &cancel_);
    if (!cancel_.Raised()) Post({-1, {}, result});
  });
}

void SearchWorker::Cancel() {
  cancel_.Raise();
  wait();
}

void SearchWorker::wait() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void SearchWorker::Post(Event e) {
  bool first;
  {
    std::lock_guard lock(mu_);
    first = events_.empty();
    events_.push_back(std::move(e));
  }
  // A call still queued takes this event too; one dropped with the worker
  // (the window closed) has nobody left to tell.
  if (first) QMetaObject::invokeMethod(this, &SearchWorker::Deliver, Qt::QueuedConnection);
}

void SearchWorker::Deliver() {
  std::vector<Event> events;
  {
    std::lock_guard lock(mu_);
    events.swap(events_);
  }
  for (const Event& e : events) {
    if (cancel_.Raised()) return;
    if (e.position >= 0) emit progress(e.position);
    if (e.row)
      emit rowFound({QString::fromStdString(e.row->number), QString::fromStdString(e.row->status),
                     QString::fromStdString(e.row->description), QString::fromStdString(e.row->firmware)});
    if (e.done) emit searchDone(*e.done);
  }
}

}  // namespace varnet
