#include "scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>

#include "collection.h"
#include "control_index.h"
#include "registry.h"
#include "threads.h"

namespace tvx::core {

namespace {

// The first bytes, in which a program's MZ and PE headers are looked for.
constexpr std::size_t kHead = 64 << 10;

// What a file's scan hands on, kept until its turn.
struct Event {
  enum class Kind { kNotAProgram, kRecord, kNearby, kForm, kDone, kUnreadable };
  Kind kind = Kind::kRecord;
  FoundRecord record;        // kRecord, kNearby
  FoundForm form;            // kForm
  std::string file;          // the others
  bool named = false;        // kNotAProgram
  std::uint64_t bytes = 0;   // kDone, kUnreadable: the bytes read
  std::uint64_t others = 0;  // kDone, kUnreadable: records of other classes passed over
  IoError error;             // kUnreadable
};

using Emit = std::function<void(Event&&)>;

// An input read at offsets, read once from start to end.
class InOrder final : public SequentialInput {
 public:
  explicit InOrder(InputSource& input) : input_(input) {}
  bool Next(std::span<std::uint8_t> into, Part* part, IoError*) override {
    *part = {};
    part->read = input_.ReadAt(offset_, into.data(), into.size());
    offset_ += part->read;
    return true;
  }

 private:
  InputSource& input_;
  std::uint64_t offset_ = 0;
};

// One file's scan: every record the finder hands over, picked, and handed on.
class FileScan {
 public:
  // `stopped`, asked between pieces on the reading thread, ends the file's scan where it is.
  FileScan(const ScanOptions& options, const Emit& emit, std::atomic<std::uint64_t>& bytesRead,
           const std::function<bool()>& stopped, const std::function<void()>& tick = {})
      : options_(options),
        emit_(emit),
        bytesRead_(bytesRead),
        stopped_(stopped),
        tick_(tick),
        placer_([this](Held&& held, const FormImage* form) { Placed(std::move(held), form); },
                [this](const FormImage& image, FormTrouble trouble) { Image(image, trouble); }) {}

  void Run(const Collection::File& file) {
    file_ = file.path;
    IoError error;
    std::unique_ptr<SequentialInput> sequential;
    if (file.path == "-" && (options_.keepInputs || options_.indexes)) {
      // Standard input is copied, so that its records can be decoded at their positions.
      input_ = CopyStandardInput(&error);
      if (input_) sequential = std::make_unique<InOrder>(*input_);
    } else {
      sequential = file.path == "-" ? StandardInputStream() : OpenSequential(file.path, &error);
    }
    const bool read = sequential && Read(*sequential, file.named, &error);
    if (!stoppedHere_)
      Ended(read ? Event::Kind::kDone : Event::Kind::kUnreadable, std::move(error));
  }

  void Run(const std::string& name, std::shared_ptr<InputSource> input) {
    file_ = name;
    input_ = std::move(input);
    InOrder sequential(*input_);
    IoError error;
    Read(sequential, true, &error);  // reads of memory or a held file do not fail
    if (!stoppedHere_) Ended(Event::Kind::kDone, {});
  }

 private:
  // The file's last event: read to its end, or not.
  void Ended(Event::Kind kind, IoError error) {
    Event ended;
    ended.kind = kind;
    ended.file = file_;
    ended.bytes = bytes_;
    ended.others = others_;
    ended.error = std::move(error);
    emit_(std::move(ended));
  }

  bool Read(SequentialInput& input, bool named, IoError* error) {
    RecordFinder finder([this](const ControlRecord& record) { Found(record); },
                        [this](const FormHeader& header) { placer_.Image(header); });
    std::size_t filled = 0;
    bool headSeen = false;
    for (SequentialInput::Part part;;) {
      if (stopped_()) {
        stoppedHere_ = true;
        return false;
      }
      const std::span<std::uint8_t> space = finder.Space().first(RecordFinder::kPiece);
      if (!input.Next(space.subspan(filled), &part, error)) return false;
      filled += part.read;
      if (part.read > 0 && !headSeen && filled < kHead) continue;  // the head comes whole
      if (!headSeen) {
        headSeen = true;
        if (!IsWindowsProgram({space.data(), filled})) {
          Event note;
          note.kind = Event::Kind::kNotAProgram;
          note.file = file_;
          note.named = named;
          emit_(std::move(note));
        }
      }
      finder.Commit(filled);
      finder.Zeros(part.zeros);
      placer_.Passed(finder.looked());
      bytes_ += filled + part.zeros;
      bytesRead_ += filled + part.zeros;
      if (tick_) tick_();
      filled = 0;
      if (part.read == 0 && part.zeros == 0) break;
    }
    finder.Finish();
    placer_.Finish(finder.size());
    return !input.Changed(error);
  }

  // A record waiting for its form to be known; `other`: of a class not handed on, only counted.
  struct Held {
    Event event;
    bool other = false;
  };

  void Found(const ControlRecord& record) {
    if (!options_.names.empty() &&
        std::none_of(options_.names.begin(), options_.names.end(),
                     [&](const std::string& name) { return SameWord(name, record.name); })) {
      return;
    }
    const auto among = [&](const std::vector<Position>& places) {
      return std::find(places.begin(), places.end(), record.position) != places.end();
    };
    const bool nearby = !options_.positions.empty() && !among(options_.positions);
    if (nearby && !among(options_.nearby)) return;
    const DeliverableInfo* control = options_.classes.Find(record.className);
    Held held;
    held.other = control == nullptr && !options_.all;
    if (held.other && (nearby || options_.forms.empty())) {
      if (!nearby) ++others_;  // in no matter what form
      return;
    }
    Event& found = held.event;
    found.kind = nearby ? Event::Kind::kNearby : Event::Kind::kRecord;
    found.record.file = file_;
    found.record.position = record.position;
    found.record.name = record.name;
    found.record.className = record.className;
    found.record.control = control;
    if (options_.keepInputs) found.record.input = Input();
    if (options_.indexes && control != nullptr && !held.other) {
      found.record.index = IndexOf(record, *control);
    }
    const std::uint64_t pair = record.start + 2 + record.name.size();
    placer_.Item(std::move(held), record.start, record.position - 1, pair);
  }

  // The record's Index, read from the bytes at hand when its section A ends among them: first
  // from its first few hundred bytes, decoded to their end (most sections A are a few bytes),
  // then from all the window holds, then from the file.
  std::optional<std::int64_t> IndexOf(const ControlRecord& record, const DeliverableInfo& control) {
    constexpr std::size_t kShort = 32;
    // One decoder of each control for each thread that reads files, kept from file to file.
    thread_local Decoders decoders;
    Decoder& decoder = decoders.For(control);
    const std::uint64_t origin = record.position - 1;
    const bool whole = record.after.size() <= kShort;
    WindowInput head(record.after.first(whole ? record.after.size() : kShort), origin);
    IndexRead read = ReadIndex(decoder, head, record.position, false);
    if (read.sectionEnded || read.gaveUp || (whole && record.endsInput)) return read.index;
    if (!whole) {
      WindowInput window(record.after, origin);
      read = ReadIndex(decoder, window, record.position);
      if (read.gaveUp) return read.index;
    }
    if (!read.sectionEnded && !record.endsInput) {
      if (const std::shared_ptr<InputSource> input = Input())
        read = ReadIndex(decoder, *input, record.position);
    }
    return read.index;
  }

  // The file read at offsets, opened when first wanted.
  std::shared_ptr<InputSource> Input() {
    if (!input_ && !inputTried_) {
      inputTried_ = true;
      input_ = OpenProgram(file_).input;
    }
    return input_;
  }

  bool InFormsNamed(const FormImage* form) const {
    if (options_.forms.empty()) return true;
    return form != nullptr &&
           std::any_of(options_.forms.begin(), options_.forms.end(),
                       [&](const std::string& name) { return SameWord(name, form->name); });
  }

  void Placed(Held&& held, const FormImage* form) {
    if (!InFormsNamed(form)) return;
    if (held.other) {
      ++others_;
      return;
    }
    if (form != nullptr) held.event.record.form = *form;
    emit_(std::move(held.event));
  }

  void Image(const FormImage& image, FormTrouble trouble) {
    if (!InFormsNamed(&image)) return;
    Event e;
    e.kind = Event::Kind::kForm;
    e.form = {file_, image, trouble};
    emit_(std::move(e));
  }

  const ScanOptions& options_;
  const Emit& emit_;
  std::atomic<std::uint64_t>& bytesRead_;
  const std::function<bool()>& stopped_;
  std::function<void()> tick_;
  bool stoppedHere_ = false;  // the scan was ended while this file was read
  std::string file_;
  std::shared_ptr<InputSource> input_;
  bool inputTried_ = false;
  std::uint64_t bytes_ = 0;
  std::uint64_t others_ = 0;
  FormPlacer<Held> placer_;
};

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
  const auto problem = [&](const std::string& path, const IoError& why) {
    deliver(Problem(path, why));
  };
  while (!stopped()) {
    const std::optional<Collection::File> file = collection.Next(problem);
    if (!file) break;
    FileScan(options, emit, bytes, stopped, tick).Run(*file);
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
          changed_.NotifyAll();
          AskSink(lock);
          continue;
        }
        Event e = std::move(head.events.front());
        head.events.pop_front();
        changed_.NotifyAll();
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
        changed_.NotifyAll();
        // A file waits once it holds its share: ahead of its turn until its turn comes, at its turn
        // until the sink has taken some (a slow sink holds the reading back).
        while (slots_[index - head_].events.size() >= kHeldPerFile)
          changed_.Wait(held);
      };
      if (!stopped_()) FileScan(options_, emit, bytes_, stopped_).Run(file);
      lock.Relock();
      slots_[index - head_].done = true;
      changed_.NotifyAll();
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
  FileScan(options, emit, bytes, stopped, tick).Run(file, std::move(input));
  return deliver.totals;
}

unsigned Processors() {
  return ProcessorCount();
}

}  // namespace tvx::core
