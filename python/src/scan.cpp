// tvx.scan: the scan runs on a thread of its own and hands its records to Python through a
// bounded queue, so that a scan of any size holds a few thousand records at most; Python takes
// them in batches, waiting with the GIL released.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <pybind11/stl.h>

#include "controls.h"
#include "module.h"
#include "scan.h"

namespace tvx::python {

namespace {

// Records held for Python at most; the scan waits while the queue is full.
constexpr std::size_t kQueued = 4096;

class ScanRun {
 public:
  // The files of `paths` (folders walked), or the caller's memory (`data`, its records' file
  // None).
  ScanRun(std::vector<std::string> paths, const py::object& data, core::ScanOptions options)
      : paths_(std::move(paths)), options_(std::move(options)), sink_(*this) {
    if (!data.is_none()) held_ = std::make_unique<HeldBuffer>(data);
    thread_ = std::thread([this] { Run(); });
  }

  ~ScanRun() { Close(); }
  ScanRun(const ScanRun&) = delete;
  ScanRun& operator=(const ScanRun&) = delete;

  // The next records and errors, in order: (file, position, name, class name, control) for a
  // record, an OSError (not raised) for an entry that could not be read; None at the end.
  py::object NextBatch() {
    // Another thread taking a batch is waited for without the GIL.
    std::unique_lock<std::mutex> taking(taking_, std::defer_lock);
    {
      py::gil_scoped_release release;
      taking.lock();
    }
    std::deque<Item> items;
    for (;;) {
      {
        py::gil_scoped_release release;
        std::unique_lock<std::mutex> lock(mutex_);
        // Woken at least ten times a second, to look for a signal (Ctrl-C) to raise.
        changed_.wait_for(lock, std::chrono::milliseconds(100),
                          [this] { return !queue_.empty() || finished_; });
        items.swap(queue_);
        if (!items.empty()) room_.notify_one();
      }
      if (!items.empty()) break;
      if (Finished()) {
        Close();
        if (!failure_.empty()) throw std::runtime_error("the scan failed: " + failure_);
        return py::none();
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    py::list batch(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Item& item = items[i];
      if (item.file != lastFile_ || !lastPath_) {
        lastFile_ = item.file;
        lastPath_ = held_ ? py::object(py::none()) : py::object(PathObject(item.file));
      }
      if (item.error) {
        batch[i] = OsError(*item.error, item.file);
      } else {
        batch[i] = py::make_tuple(
            *lastPath_, item.position, StreamText(item.name), StreamText(item.className),
            item.control != nullptr ? py::object(py::str(std::string(item.control->name)))
                                    : py::object(py::none()));
      }
    }
    return batch;
  }

  // Ends the scan: the files being read are read to their end, nothing more (memory at once).
  void Close() {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> closing(closing_);
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cancelled_ = true;
    }
    room_.notify_all();
    thread_.join();
  }

  // The counts of the whole scan (what `tvx scan --json` ends with), once it has ended.
  py::object Summary() {
    if (!Finished() || !complete_) return py::none();
    Close();
    py::dict controls;
    for (std::size_t i = 0; i < core::Controls().size(); ++i) {
      if (totals_.perControl[i] > 0)
        controls[py::str(std::string(core::Controls()[i]->name))] = totals_.perControl[i];
    }
    py::dict summary;
    summary["files"] = totals_.files;
    summary["unreadable"] = totals_.unreadable;
    summary["bytes"] = totals_.bytes;
    summary["records"] = totals_.records;
    summary["controls"] = controls;
    summary["other_classes"] = totals_.others;
    summary["not_programs"] = totals_.notPrograms;
    return summary;
  }

 private:
  struct Item {
    std::string file;
    core::Position position = 0;
    std::string name;
    std::string className;
    const DeliverableInfo* control = nullptr;
    std::optional<core::IoError> error;
  };

  class Sink final : public core::ScanSink {
   public:
    explicit Sink(ScanRun& run) : run_(run) {}
    void Record(const core::FoundRecord& record) override {
      run_.Push({record.file, record.position, record.name, record.className, record.control,
                 std::nullopt});
    }
    void Unreadable(const std::string& file, const core::IoError& error) override {
      run_.Push({file, 0, {}, {}, nullptr, error});
    }
    bool Stopped() override { return run_.cancelled_; }

   private:
    ScanRun& run_;
  };

  void Push(Item&& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [this] { return queue_.size() < kQueued || cancelled_; });
    if (cancelled_) return;  // given up: nothing more is wanted
    queue_.push_back(std::move(item));
    if (queue_.size() == 1) changed_.notify_one();
  }

  void Run() {
    try {
      if (held_) {
        totals_ = core::ScanInput("", std::make_shared<MemoryInput>(held_->bytes(), &cancelled_),
                                  options_, sink_);
      } else {
        totals_ = core::Scan(paths_, options_, sink_);
      }
    } catch (const std::exception& e) {
      failure_ = e.what();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    complete_ = !cancelled_ && failure_.empty();
    changed_.notify_all();
  }

  bool Finished() {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_ && queue_.empty();
  }

  const std::vector<std::string> paths_;
  const core::ScanOptions options_;
  std::unique_ptr<HeldBuffer> held_;  // released (with the GIL) after the thread has ended
  Sink sink_;
  std::mutex mutex_;
  std::condition_variable changed_;  // an item or the end for Python
  std::condition_variable room_;     // room in the queue for the scan
  std::deque<Item> queue_;
  bool finished_ = false;
  bool complete_ = false;  // finished, neither given up nor failed
  std::atomic<bool> cancelled_{false};
  core::ScanTotals totals_;
  std::string failure_;
  std::mutex taking_;   // one batch taken at a time
  std::mutex closing_;  // one thread joins the scan's
  std::string lastFile_;
  std::optional<py::object> lastPath_;
  std::thread thread_;
};

std::unique_ptr<ScanRun> StartScan(std::vector<std::string> paths, const py::object& data, bool all,
                                   std::vector<std::string> names,
                                   std::vector<core::Position> positions,
                                   const std::vector<std::pair<std::string, std::string>>& classes,
                                   bool follow, unsigned jobs) {
  core::ScanOptions options;
  for (const auto& [name, control] : classes)
    options.classes.Add(name, ControlNamed(control));
  options.all = all;
  options.names = std::move(names);
  options.positions = std::move(positions);
  options.follow = follow;
  options.jobs = jobs;
  return std::make_unique<ScanRun>(std::move(paths), data, std::move(options));
}

}  // namespace

void DefineScan(py::module_& module) {
  py::class_<ScanRun>(module, "ScanRun", "A scan running on a thread of its own.")
      .def("next_batch", &ScanRun::NextBatch,
           "The next records (tuples) and errors (OSError), in order; None at the end.")
      .def("close", &ScanRun::Close, "Ends the scan.")
      .def("summary", &ScanRun::Summary, "The scan's counts once it has ended, or None.");
  module.def("scan", &StartScan, py::arg("paths"), py::arg("data"), py::arg("all"),
             py::arg("names"), py::arg("positions"), py::arg("classes"), py::arg("follow"),
             py::arg("jobs"), "Starts a scan of the paths (bytes) or of the buffer `data`.");
  module.def("processors", &core::Processors, "The processors of this machine.");
}

}  // namespace tvx::python
