#include "kept.h"

#include "text.h"

namespace tvx::python {

namespace {

// How often a read lets Python's signal handlers run: a read is a piece of some KiB at the most,
// and a clock read costs far less, but a decode may make millions of them.
constexpr std::uint32_t kReadsPerClock = 64;
constexpr std::chrono::milliseconds kSignalInterval{50};

}  // namespace

std::size_t InterruptibleInput::ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) {
  if (interrupted_) return 0;
  if (++reads_ % kReadsPerClock == 0 && std::chrono::steady_clock::now() >= next_) {
    {
      py::gil_scoped_acquire gil;
      interrupted_ = PyErr_CheckSignals() != 0;  // the exception stays set for RaiseIfInterrupted
    }
    next_ = std::chrono::steady_clock::now() + kSignalInterval;
    if (interrupted_) return 0;
  }
  return input_.ReadAt(offset, into, size);
}

void InterruptibleInput::RaiseIfInterrupted() const {
  if (interrupted_) throw py::error_already_set();
}

KeptInput::KeptInput(const std::string& path, const py::object& data) {
  if (!data.is_none()) {
    held_.emplace(data);
    input_ = std::make_shared<MemoryInput>(held_->bytes());
    return;
  }
  core::OpenedInput opened;
  {
    py::gil_scoped_release release;
    opened = core::OpenProgram(path);
  }
  if (!opened.input) RaiseOsError(opened.error, path);
  input_ = std::move(opened.input);
}

HeldLines::HeldLines(InputSource& input, const TextWriter& write) {
  std::uint64_t next = 0;  // where the next line starts: each before it ends with CR LF
  Entry line;
  bool isLong = false;
  render::LineSplitter splitter({[&] {
                                   line = Entry{};
                                   line.start = next;
                                   isLong = false;
                                 },
                                 [&](std::string_view bytes) {
                                   line.size += bytes.size();
                                   if (isLong) return;
                                   if (line.size > kShortLine) {
                                     isLong = true;
                                     line.bytes = std::string();
                                     return;
                                   }
                                   line.bytes.append(bytes);
                                 },
                                 [&] {
                                   if (isLong) ++longLines_;
                                   next += line.size + 2;
                                   lines_.push_back(std::move(line));
                                 }});
  write(input, [&](std::string_view piece) { splitter.Feed(piece); });
  splitter.Finish();
}

HeldLines::HeldLines(InputSource& input, std::size_t count, const LineWriter& line) {
  lines_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    Entry& held = lines_[i];
    line(i)(input, [&](std::string_view bytes) {
      held.size += bytes.size();
      if (held.size <= kShortLine) held.bytes.append(bytes);
    });
    if (held.size > kShortLine) {
      held.bytes = std::string();
      ++longLines_;
    }
  }
}

py::list HeldLines::List() const {
  py::list list(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Entry& line = lines_[i];
    list[i] = line.size > kShortLine ? py::object(py::none()) : py::object(StreamText(line.bytes));
  }
  return list;
}

std::string HeldLines::Line(InputSource& input, const TextWriter& write, std::size_t index) const {
  const Entry& line = lines_.at(index);
  if (line.size <= kShortLine) return line.bytes;
  return TextRange(input, write, line.start, line.size);
}

std::string HeldLines::Line(InputSource& input, const LineWriter& line, std::size_t index) const {
  const Entry& held = lines_.at(index);
  if (held.size <= kShortLine) return held.bytes;
  std::string bytes;
  line(index)(input, [&](std::string_view piece) { bytes.append(piece); });
  return bytes;
}

std::string TextRange(InputSource& input, const TextWriter& write, std::uint64_t start,
                      std::uint64_t size) {
  std::string bytes;
  std::uint64_t at = 0;
  write(input, [&](std::string_view piece) {
    const std::uint64_t end = at + piece.size();
    if (end > start && at < start + size) {
      const std::uint64_t from = start > at ? start - at : 0;
      const std::uint64_t to = std::min<std::uint64_t>(piece.size(), start + size - at);
      bytes.append(piece.substr(from, to - from));
    }
    at = end;
  });
  return bytes;
}

}  // namespace tvx::python
