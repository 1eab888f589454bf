// tvx.scan: the scan runs on a thread of its own and hands its records to Python through a
// bounded queue, so that a scan of any size holds a few thousand records at most; Python takes
// them in batches, waiting with the GIL released. The iterator's __next__ is this file's, and so
// is the making of each tvx.Record (its slots filled as they are, its __init__ not run), so that
// no Python code runs between a record taken from the batch and its return to the caller's loop:
// a KeyboardInterrupt comes either before a record is taken or after it was handed over.
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

// A lock taken with the GIL let go (another thread may hold it while it runs Python), that the
// thread holding it may take again: an onerror callback may call next() or close().
class Taking {
 public:
  explicit Taking(std::recursive_mutex& mutex) : mutex_(mutex) {
    py::gil_scoped_release release;
    mutex_.lock();
  }
  ~Taking() { mutex_.unlock(); }
  Taking(const Taking&) = delete;
  Taking& operator=(const Taking&) = delete;

 private:
  std::recursive_mutex& mutex_;
};

class ScanRun {
 public:
  // The files of `paths` (folders walked), or the caller's memory (`data`, its records' file
  // None). `dash`: the path "-" was given, as "./-", and is shown as given. `record`: the class
  // tvx.Record, whose slots file, position, name, class_name, control, index, form and _data
  // each record fills; `form`: the class tvx.Form, made of (name, kind, offset, size).
  ScanRun(std::vector<std::string> paths, const py::object& data, core::ScanOptions options,
          bool dash, const py::object& record, const py::object& form)
      : paths_(std::move(paths)),
        options_(std::move(options)),
        memory_(!data.is_none()),
        dash_(dash),
        sink_(*this),
        recordType_(record),
        formType_(form),
        data_(data) {
    if (!PyType_Check(record.ptr())) throw py::type_error("record is a class");
    for (const char* slot :
         {"file", "position", "name", "class_name", "control", "index", "form", "_data"})
      slots_.push_back(record.attr(slot));
    if (!data.is_none()) held_ = std::make_unique<HeldBuffer>(data);
    options_.stop = &cancelled_;
    thread_ = std::thread([this] { Run(); });
  }

  ~ScanRun() { Close(); }
  ScanRun(const ScanRun&) = delete;
  ScanRun& operator=(const ScanRun&) = delete;

  // The next record; an entry that could not be read raises its OSError, or is handed to
  // `self._onerror` (when not None) and the next is taken. StopIteration at the end. An item
  // leaves the batch only once it has been made into its record or handed on.
  py::object Next(py::handle self) {
    Taking taking(taking_);
    for (;;) {
      if (cancelled_) {
        Drop();
        throw py::stop_iteration();
      }
      if (taken_ < pending_.size()) {
        const py::object item = pending_[taken_];
        if (py::isinstance<py::tuple>(item)) {
          py::object record = Record(item);
          ++taken_;
          return record;
        }
        ++taken_;
        const py::object onerror = self.attr("_onerror");
        if (onerror.is_none()) {
          Close();
          PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(item.ptr())), item.ptr());
          throw py::error_already_set();
        }
        onerror(item);
        continue;
      }
      if (ended_) throw py::stop_iteration();
      py::object batch = NextBatch();
      if (batch.is_none()) {
        ended_ = true;
        throw py::stop_iteration();
      }
      pending_ = py::reinterpret_steal<py::list>(batch.release());
      taken_ = 0;
    }
  }

  // Ends the scan, from any thread: a wait for records ends, the files being read are left
  // where they are (memory at once), and what was not taken is dropped.
  void Close() {
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> closing(closing_);
      if (thread_.joinable()) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          cancelled_ = true;
        }
        changed_.notify_all();
        room_.notify_all();
        thread_.join();
      }
    }
    held_.reset();  // the thread that read it has ended; with the GIL held
    // A thread taking records drops them itself on its way out.
    if (taking_.try_lock()) {
      Drop();
      taking_.unlock();
    }
  }

  bool Running() const { return !cancelled_ && !ended_; }

  // The counts of the whole scan (what `tvx scan --json` ends with), once its every record has
  // been handed out.
  py::object Summary() {
    if (!exhausted_ || !complete_) return py::none();
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
    summary["forms"] = totals_.forms;
    return summary;
  }

 private:
  struct Item {
    std::string file;
    core::Position position = 0;
    std::string name;
    std::string className;
    const DeliverableInfo* control = nullptr;
    std::optional<std::int64_t> index;
    std::optional<core::FormImage> form;
    std::optional<core::IoError> error;
  };

  class Sink final : public core::ScanSink {
   public:
    explicit Sink(ScanRun& run) : run_(run) {}
    void Record(const core::FoundRecord& record) override {
      run_.Push({record.file, record.position, record.name, record.className, record.control,
                 record.index, record.form, std::nullopt});
    }
    void Unreadable(const std::string& file, const core::IoError& error) override {
      run_.Push({file, 0, {}, {}, nullptr, std::nullopt, std::nullopt, error});
    }
    bool Stopped() override { return run_.cancelled_; }

   private:
    ScanRun& run_;
  };

  // A tvx.Record of (file, position, name, class name, control, index, form) and the scan's
  // data.
  py::object Record(const py::handle& item) {
    auto* type = reinterpret_cast<PyTypeObject*>(recordType_.ptr());
    const py::object none = py::tuple();
    py::object record =
        py::reinterpret_steal<py::object>(PyBaseObject_Type.tp_new(type, none.ptr(), nullptr));
    if (!record) throw py::error_already_set();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      PyObject* value = i + 1 < slots_.size() ? PyTuple_GET_ITEM(item.ptr(), i) : data_.ptr();
      PyObject* slot = slots_[i].ptr();
      if (Py_TYPE(slot)->tp_descr_set(slot, record.ptr(), value) != 0) {
        throw py::error_already_set();
      }
    }
    return record;
  }

  void Drop() {
    pending_ = py::list();
    taken_ = 0;
    ended_ = true;
  }

  // The next records and errors, in order: (file, position, name, class name, control, index,
  // form) for a
  // record, an OSError (not raised) for an entry that could not be read; None at the end, and
  // once the scan is closed.
  py::object NextBatch() {
    std::deque<Item> items;
    for (;;) {
      {
        py::gil_scoped_release release;
        std::unique_lock<std::mutex> lock(mutex_);
        // Woken at least ten times a second, to look for a signal (Ctrl-C) to raise.
        changed_.wait_for(lock, std::chrono::milliseconds(100),
                          [this] { return !queue_.empty() || finished_ || cancelled_; });
        if (!cancelled_) items.swap(queue_);
        if (!items.empty()) room_.notify_one();
      }
      if (!items.empty()) break;
      if (cancelled_) return py::none();
      if (Finished()) {
        exhausted_ = true;
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
        lastPath_ = memory_ ? py::object(py::none()) : py::object(PathObject(Shown(item.file)));
      }
      if (item.error) {
        batch[i] = OsError(*item.error, Shown(item.file));
      } else {
        batch[i] = py::make_tuple(
            *lastPath_, item.position, StreamText(item.name), StreamText(item.className),
            item.control != nullptr ? py::object(py::str(std::string(item.control->name)))
                                    : py::object(py::none()),
            item.index ? py::object(py::int_(*item.index)) : py::object(py::none()),
            FormObject(item));
      }
    }
    return batch;
  }

  // The tvx.Form of the item's form, or None; one object for the records of one image in a row.
  py::object FormObject(const Item& item) {
    if (!item.form) return py::none();
    if (!lastForm_ || item.file != lastFormFile_ || !(*item.form == lastFormImage_)) {
      lastForm_ = formType_(StreamText(item.form->name), item.form->kind, item.form->offset,
                            item.form->size);
      lastFormFile_ = item.file;
      lastFormImage_ = *item.form;
    }
    return *lastForm_;
  }

  // A path as walked, as the caller gave it: "-" (or a folder "-"), read as "./-".
  std::string Shown(const std::string& file) const {
    const bool fromDash = file == "./-" || file.rfind("./-/", 0) == 0;
    return dash_ && fromDash ? file.substr(2) : file;
  }

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
  core::ScanOptions options_;
  const bool memory_;  // a scan of `data`
  const bool dash_;
  std::unique_ptr<HeldBuffer> held_;  // released (with the GIL) after the thread has ended
  Sink sink_;
  const py::object recordType_;
  const py::object formType_;
  const py::object data_;
  std::vector<py::object> slots_;  // the record's slots' descriptors
  std::mutex mutex_;
  std::condition_variable changed_;  // an item, the end or the close, for Python
  std::condition_variable room_;     // room in the queue for the scan
  std::deque<Item> queue_;
  bool finished_ = false;
  bool complete_ = false;  // finished, neither given up nor failed
  std::atomic<bool> cancelled_{false};
  core::ScanTotals totals_;
  std::string failure_;
  std::recursive_mutex taking_;  // one thread takes records at a time
  std::mutex closing_;           // one thread joins the scan's
  py::list pending_;             // the batch being handed out, from `taken_` on
  std::size_t taken_ = 0;
  bool ended_ = false;      // no item is handed out any more
  bool exhausted_ = false;  // every item was taken
  std::string lastFile_;
  std::optional<py::object> lastPath_;
  std::optional<py::object> lastForm_;
  std::string lastFormFile_;
  core::FormImage lastFormImage_;
  std::thread thread_;
};

std::unique_ptr<ScanRun> StartScan(std::vector<std::string> paths, const py::object& data, bool all,
                                   std::vector<std::string> names, std::vector<std::string> forms,
                                   std::vector<core::Position> positions,
                                   const std::vector<std::pair<std::string, std::string>>& classes,
                                   bool follow, unsigned jobs, const py::object& record,
                                   const py::object& form) {
  core::ScanOptions options;
  for (const auto& [name, control] : classes)
    options.classes.Add(name, ControlNamed(control));
  options.all = all;
  options.names = std::move(names);
  options.forms = std::move(forms);
  options.positions = std::move(positions);
  options.follow = follow;
  options.jobs = jobs;
  // "-" is a file of that name here, not standard input as for the command.
  bool dash = false;
  for (std::string& path : paths) {
    if (path != "-") continue;
    path = "./-";
    dash = true;
  }
  return std::make_unique<ScanRun>(std::move(paths), data, std::move(options), dash, record, form);
}

}  // namespace

void DefineScan(py::module_& module) {
  py::class_<ScanRun>(module, "ScanRun",
                      "A scan running on a thread of its own; tvx.Scan adds _onerror.")
      .def(py::init(&StartScan), py::arg("paths"), py::arg("data"), py::arg("all"),
           py::arg("names"), py::arg("forms"), py::arg("positions"), py::arg("classes"),
           py::arg("follow"), py::arg("jobs"), py::arg("record"), py::arg("form"),
           "Starts a scan of the paths (bytes) or of the buffer `data`, its records of the class "
           "`record`, their forms of the class `form`.")
      .def(
          "__next__", [](py::object self) { return self.cast<ScanRun&>().Next(self); },
          "The next record; an OSError raised or handed to _onerror.")
      .def("close", &ScanRun::Close, "Ends the scan.")
      .def("_running", &ScanRun::Running, "Whether records may still come.")
      .def("_counts", &ScanRun::Summary, "The scan's counts once it has ended, or None.");
  module.def("processors", &core::Processors, "The processors of this machine.");
}

}  // namespace tvx::python
