// Finding the controls of a compiled program: each control on a compiled form is stored as a
// record
//
//     word n, the control's name (n bytes), 00, FF, word m, its class name (m bytes), 00,
//     its property stream
//
// (words little-endian). A record is recognised at every 00 FF pair whose neighbours confirm it:
// the bytes before the pair are an identifier (a letter, then letters, digits or underscores)
// preceded by its own length as a word, and the bytes after it are a word m, m class-name bytes
// (letters, digits, underscores and dots) and a 00.
//
// The same pass finds the images of the forms that hold the records (forms.h): their headers end
// in a name, a 00 and the form's kind byte, a pair looked for beside 00 FF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "forms.h"
#include "places.h"
#include "tvx/reader.h"

namespace tvx::core {

struct ControlRecord {
  Position position = 0;  // 1-based position of the property stream
  std::string name;       // the control's name
  std::string className;
  std::uint64_t start = 0;  // offset of the name's length word: where the record starts
  // While the record is handed on: the bytes from the stream's start that the window holds, and
  // whether the input ends after them.
  std::span<const std::uint8_t> after;
  bool endsInput = false;
};

// The records of one input fed to it in order, a piece at a time, through a window of fixed
// size: the bytes of the last piece that a record straddling two pieces could need, and the next
// piece. Memory does not grow with the input. Each 00 FF pair is looked at once, when the window
// holds all a record around it could need (or the input has ended).
class RecordFinder {
 public:
  using Found = std::function<void(const ControlRecord&)>;
  using FoundForm = std::function<void(const FormHeader&)>;
  // The most a piece may hold (what Space() offers at least).
  static constexpr std::size_t kPiece = std::size_t{256} << 10;

  // With `form`, the form headers too, each handed on in the order of their pairs among the
  // records'.
  explicit RecordFinder(Found found, FoundForm form = {});

  // Where the next bytes go: write up to its size, then Commit how many were written.
  std::span<std::uint8_t> Space();
  // Takes in the next `count` bytes written to Space(); the records they complete are found.
  void Commit(std::size_t count);
  // Takes in `count` zero bytes without their being written (a hole of a sparse file).
  void Zeros(std::uint64_t count);
  // The input has ended: the pairs still waiting for bytes after them are looked at.
  void Finish();
  // Starts on a new input, in the same window.
  void Restart() { length_ = base_ = next_ = 0; }

  // How many bytes were taken in.
  std::uint64_t size() const { return base_ + length_; }
  // Every pair that starts before this offset has been looked at.
  std::uint64_t looked() const { return next_; }

 private:
  void Search(std::size_t limit);
  void Keep();

  Found found_;
  FoundForm form_;
  PairSeconds seconds_;
  bool finishing_ = false;
  std::unique_ptr<std::uint8_t[]> window_;
  std::size_t length_ = 0;  // bytes in the window
  std::uint64_t base_ = 0;  // input offset of window_[0]
  std::uint64_t next_ = 0;  // input offset of the first pair not yet looked at
};

// The first pair, a 00 and then one of `seconds`, starting in [from, last) of `bytes`, or `last`
// when there is none; bytes[last] must be readable. Vector instructions where the processor has
// them.
std::size_t FindPair(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                     const PairSeconds& seconds = kRecordPairs);
// The same eight bytes at a time (where the processor has no vector instructions), and a byte at
// a time: what the others are checked against.
std::size_t FindPairWordwise(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                             const PairSeconds& seconds = kRecordPairs);
std::size_t FindPairBytewise(const std::uint8_t* bytes, std::size_t from, std::size_t last,
                             const PairSeconds& seconds = kRecordPairs);
// Every way of searching this machine runs (the word-wise one, the vector ones it has): what
// FindPair picks from.
using PairSearch = std::size_t (*)(const std::uint8_t*, std::size_t, std::size_t,
                                   const PairSeconds&);
std::vector<PairSearch> PairSearches();

// Every record of `file`, in file order, handed to `found`. One pass, reading the file in pieces.
void ScanRecords(InputSource& file, const RecordFinder::Found& found);

// True when `head`, the first bytes of a file, begin with an MZ header whose PE header lies
// within them.
bool IsWindowsProgram(std::span<const std::uint8_t> head);

}  // namespace tvx::core
