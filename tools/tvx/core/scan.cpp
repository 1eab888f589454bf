#include "scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>

#include "collection.h"
#include "file_scan.h"
#include "threads.h"

namespace tvx::core {

namespace {

// Hands the events to the sink, on the calling thread, and counts them.
class Delivery {
 public:
  explicit Delivery(ScanSink& sink) : sink_(sink) {}

  void operator()(Event&& e) {
    switch (e.kind) {
      case Event::Kind::kNotAProgram:
        ++totals.notPrograms;
        sink_.NotAProgram(e.file, e.named);
        break;
      case Event::Kind::kRecord: {
        ++totals.records;
        const auto& all = Controls();
        if (e.record.control == nullptr) {
          ++totals.others;
        } else if (const auto at = std::find(all.begin(), all.end(), e.record.control);
                   at != all.end()) {
          ++totals.perControl[static_cast<std::size_t>(at - all.begin())];
        }
        sink_.Record(e.record);
        break;
      }
      case Event::Kind::kNearby:
        sink_.Nearby(e.record);
        break;
      case Event::Kind::kForm:
        if (e.form.trouble == FormTrouble::kNone) ++totals.forms;
        sink_.Form(e.form);
        break;
      case Event::Kind::kDone:
      case Event::Kind::kUnreadable:
        totals.bytes += e.bytes;
        totals.others += e.others;
        if (e.kind == Event::Kind::kDone) {
          ++totals.files;
          sink_.FileDone(e.file, e.bytes);
        } else {
          ++totals.unreadable;
          sink_.Unreadable(e.file, e.error);
        }
        break;
    }
  }

  void Progress(std::uint64_t bytes) {
    sink_.Progress(bytes, totals.files + totals.unreadable, totals.records);
  }

  ScanTotals totals;

 private:
  ScanSink& sink_;
};

Event Problem(const std::string& path, const IoError& why) {
  Event e;
  e.kind = Event::Kind::kUnreadable;
  e.file = path;
  e.error = why;
  return e;
}

bool StopAsked(const ScanOptions& options) {
  return options.stop != nullptr && options.stop->load(std::memory_order_relaxed);
}

ScanTotals ScanOneAtATime(const std::vector<std::string>& paths, const ScanOptions& options,
                          ScanSink& sink) {
  Delivery deliver(sink);
  std::atomic<std::uint64_t> bytes{0};
  const Emit emit = [&](Event&& e) { deliver(std::move(e)); };
  const std::function<void()> tick = [&] { deliver.Progress(bytes); };
  const std::function<bool()> stopped = [&] { return StopAsked(options) || sink.Stopped(); };
  Collection collection(paths, options.follow);
  Decoders decoders;
  const auto problem = [&](const std::string& path, const IoError& why) {
    deliver(Problem(path, why));
  };
  while (!stopped()) {
    const std::optional<Collection::File> file = collection.Next(problem);
    if (!file) break;
    ScanFile({options, emit, bytes, stopped, decoders, tick}, *file);
  }
  return deliver.totals;
}

// Files read on several threads; their events delivered in order on the calling thread.
class Parallel {
 public:
  Parallel(const ScanOptions& options, ScanSink& sink)
      : options_(options),
        sink_(sink),
        deliver_(sink),
        window_(4 * std::size_t{options.jobs}),
        stopped_([this] { return stop_ || StopAsked(options_); }) {}

  ScanTotals Run(const std::vector<std::string>& paths) {
    for (unsigned i = 0; i < options_.jobs; ++i)
      workers_.push_back(std::make_unique<Thread>([this] { Work(); }));
    Collection collection(paths, options_.follow);
    const auto problem = [&](const std::string& path, const IoError& why) {
      Lock lock(mutex_);
      Slot& slot = NewSlot(lock);
      slot.events.push_back(Problem(path, why));
      slot.done = true;
    };
    while (true) {
      std::optional<Collection::File> file = collection.Next(problem);
      if (!file) break;
      {
        Lock lock(mutex_);
        NewSlot(lock);
        queue_.emplace_back(added_ - 1, std::move(*file));
        changed_.NotifyAll();
      }
      if (stopped_()) break;
    }
    {
      Lock lock(mutex_);
      DeliverWhile(lock, [&] { return head_ < added_; });
      closing_ = true;
      changed_.NotifyAll();
    }
    for (const std::unique_ptr<Thread>& worker : workers_)
      worker->Join();
    return deliver_.totals;
  }

 private:
  struct Slot {
    std::deque<Event> events;
    bool done = false;
  };

  // A slot for the next file, once there is room in the window.
  Slot& NewSlot(Lock& lock) {
    DeliverWhile(lock, [&] { return added_ - head_ >= window_; });
    slots_.emplace_back();
    ++added_;
    return slots_.back();
  }

  // Delivers the head's events while `busy` holds (and then what is ready).
  template <typename Busy>
  void DeliverWhile(Lock& lock, Busy busy) {
    for (;;) {
      while (!slots_.empty() && (!slots_.front().events.empty() || slots_.front().done)) {
        Slot& head = slots_.front();
        if (head.events.empty()) {
          slots_.pop_front();
          ++head_;
          AskSink(lock);
          continue;
        }
        Event e = std::move(head.events.front());
        head.events.pop_front();
        // Only a reading thread waiting for room in this file's share needs waking.
        if (head.events.size() + 1 >= kHeldPerFile) changed_.NotifyAll();
        lock.Unlock();
        deliver_(std::move(e));
        lock.Relock();
        AskSink(lock);
      }
      lock.Unlock();
      deliver_.Progress(bytes_);
      lock.Relock();
      AskSink(lock);
      if (!busy()) return;
      changed_.Wait(lock, 100);
    }
  }

  // Whether the sink wants the scan to end, asked on the delivering thread.
  void AskSink(Lock& lock) {
    if (stop_) return;
    lock.Unlock();
    if (sink_.Stopped()) stop_ = true;
    lock.Relock();
  }

  void Work() {
    Decoders decoders;  // this thread's
    for (;;) {
      Lock lock(mutex_);
      while (!closing_ && queue_.empty())
        changed_.Wait(lock);
      if (queue_.empty()) return;
      auto [index, file] = std::move(queue_.front());
      queue_.pop_front();
      lock.Unlock();
      const Emit emit = [this, index = index](Event&& e) {
        Lock held(mutex_);
        slots_[index - head_].events.push_back(std::move(e));
        // The delivering thread waits for the head's events only: a file ahead of its turn
        // wakes nobody (a wake-up for every event of every file cost more than the events).
        if (index == head_) changed_.NotifyAll();
        // A file waits once it holds its share: ahead of its turn until its turn comes, at its turn
        // until the sink has taken some (a slow sink holds the reading back).
        while (slots_[index - head_].events.size() >= kHeldPerFile)
          changed_.Wait(held);
      };
      if (!stopped_()) ScanFile({options_, emit, bytes_, stopped_, decoders}, file);
      lock.Relock();
      slots_[index - head_].done = true;
      if (index == head_) changed_.NotifyAll();
    }
  }

  static constexpr std::size_t kHeldPerFile = 1024;

  const ScanOptions& options_;
  ScanSink& sink_;
  Delivery deliver_;
  const std::size_t window_;
  std::atomic<std::uint64_t> bytes_{0};
  std::atomic<bool> stop_{false};  // the sink asked for the end
  const std::function<bool()> stopped_;
  Mutex mutex_;
  Signal changed_;
  std::deque<Slot> slots_;  // of the files from head_ on
  std::uint64_t head_ = 0;
  std::uint64_t added_ = 0;
  std::deque<std::pair<std::uint64_t, Collection::File>> queue_;
  bool closing_ = false;
  std::vector<std::unique_ptr<Thread>> workers_;
};

}  // namespace

ScanTotals Scan(const std::vector<std::string>& paths, const ScanOptions& options, ScanSink& sink) {
  if (options.jobs > 1) {
    Parallel parallel(options, sink);
    return parallel.Run(paths);
  }
  return ScanOneAtATime(paths, options, sink);
}

ScanTotals ScanInput(const std::string& file, std::shared_ptr<InputSource> input,
                     const ScanOptions& options, ScanSink& sink) {
  Delivery deliver(sink);
  std::atomic<std::uint64_t> bytes{0};
  const Emit emit = [&](Event&& e) { deliver(std::move(e)); };
  const std::function<void()> tick = [&] { deliver.Progress(bytes); };
  const std::function<bool()> stopped = [&] { return StopAsked(options) || sink.Stopped(); };
  Decoders decoders;
  ScanOpenInput({options, emit, bytes, stopped, decoders, tick}, file, std::move(input));
  return deliver.totals;
}

unsigned Processors() {
  return ProcessorCount();
}

}  // namespace tvx::core
