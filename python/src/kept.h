// What a decode run for Python leaves in the file. A stream may claim a text or a picture as long
// as the file around it; tvx's command line never holds one whole, and neither does a decode made
// here: its texts and picture longer than a few KiB stay in the file (or the caller's buffer),
// which is kept open, and are read again only when Python asks for them. A decode whose every
// text is short keeps nothing open.
//
// The work runs with the GIL released; every so often a read takes the GIL back for a moment to
// run Python's signal handlers, so that Ctrl-C stops a decode of a long stream.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "module.h"

namespace tvx::python {

// An input whose reads find the file ended once Python's signal handlers raised (Ctrl-C): the
// decode then ends at once, and Raise() hands the exception on with the GIL held again.
class InterruptibleInput final : public InputSource {
 public:
  explicit InterruptibleInput(InputSource& input) : input_(input) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override;
  std::uint64_t Size() override { return input_.Size(); }
  // Raises the exception a signal handler raised, if one did (the GIL held).
  void RaiseIfInterrupted() const;

 private:
  InputSource& input_;
  bool interrupted_ = false;
  std::uint32_t reads_ = 0;
  std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now();
};

// The program file or the caller's buffer a decode reads, open for as long as this lives. Made
// and ended with the GIL held.
class KeptInput {
 public:
  // An OSError when the file cannot be opened.
  KeptInput(const std::string& path, const py::object& data);
  InputSource& input() { return *input_; }

 private:
  std::optional<HeldBuffer> held_;
  std::shared_ptr<InputSource> input_;
};

// Runs `work` on an interruptible view of `kept` with the GIL released; raises what a Ctrl-C
// raised meanwhile.
template <typename Work>
void Interruptibly(KeptInput& kept, Work&& work) {
  InterruptibleInput input(kept.input());
  {
    py::gil_scoped_release release;
    work(static_cast<InputSource&>(input));
  }
  input.RaiseIfInterrupted();
}

// A text handed over a piece at a time (a listing or a block, its long texts read from the file).
using PieceWriter = std::function<void(std::string_view)>;
using TextWriter = std::function<void(InputSource&, const PieceWriter&)>;

// The lines of a CR LF text: each short line's bytes, each longer one by its place in the text,
// to be read again when asked for.
class HeldLines {
 public:
  static constexpr std::uint64_t kShortLine = std::uint64_t{1} << 16;
  HeldLines() = default;
  // Splits the text `write` hands over (the GIL released).
  HeldLines(InputSource& input, const TextWriter& write);
  // Lines given one by one: line `i` is what `line(i)` hands over.
  using LineWriter = std::function<TextWriter(std::size_t)>;
  HeldLines(InputSource& input, std::size_t count, const LineWriter& line);
  bool AllShort() const { return longLines_ == 0; }
  // A str per short line, None in place of each long one (the GIL held).
  py::list List() const;
  // The bytes of line `index`, the text read again up to it.
  std::string Line(InputSource& input, const TextWriter& write, std::size_t index) const;
  // The bytes of line `index` of lines given one by one.
  std::string Line(InputSource& input, const LineWriter& line, std::size_t index) const;

 private:
  struct Entry {
    std::string bytes;        // a short line's
    std::uint64_t start = 0;  // a long line's place in the text
    std::uint64_t size = 0;
  };
  std::vector<Entry> lines_;
  std::size_t longLines_ = 0;
};

// Every byte `write` hands over from `start` on, `size` of them.
std::string TextRange(InputSource& input, const TextWriter& write, std::uint64_t start,
                      std::uint64_t size);

}  // namespace tvx::python
