// Fuzz target for the record finder of tvx scan: arbitrary bytes fed to it whole, in pieces of
// sizes the input chooses and with its runs of zeros as holes, give exactly the records that a
// plain search finds, one 00 FF pair after the other and a byte at a time; and with the forms
// looked for too, the same records and exactly the form headers a plain search finds, each record
// placed in the form a plain placement over the whole input gives it (none where images overlap
// or run past the end), images and records handed on in the order of their pairs.
//
// Input layout:
//   byte 0      how the bytes are fed: low 3 bits a piece size (16 << bits, so that a record
//               straddles pieces as often as not), bit 3 runs of zeros of at least 16 bytes
//               taken in as holes (records at the edges of a hole)
//   bytes 1-    the input
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "forms.h"
#include "fuzz_support.h"
#include "record_finder.h"

namespace tvx::fuzz {
namespace {

bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsNameChar(unsigned char c) {
  return IsLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// The records as their layout defines them: word n, n name bytes (a letter, then letters,
// digits, underscores; the whole run of them before the pair, at most 255), 00 FF, word m
// (1 to 255), m class-name bytes (those and dots), 00, the stream. Each as its stream's position,
// the offset of its name's word and of its pair.
struct PlainRecord {
  core::Position position;
  std::size_t start, pair;
};
std::vector<PlainRecord> PlainRecords(const std::string& bytes) {
  std::vector<PlainRecord> found;
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (std::size_t pair = 0; pair + 1 < bytes.size(); ++pair) {
    if (b(pair) != 0x00 || b(pair + 1) != 0xFF) continue;
    std::size_t start = pair;
    while (start > 0 && pair - start < 255 && IsNameChar(b(start - 1)))
      --start;
    const std::size_t n = pair - start;
    if (n == 0 || start < 2 || !IsLetter(b(start)) || b(start - 2) != n || b(start - 1) != 0) {
      continue;
    }
    if (pair + 4 > bytes.size()) continue;
    const std::size_t m = b(pair + 2) | (std::size_t{b(pair + 3)} << 8);
    const std::size_t classAt = pair + 4;
    if (m == 0 || m > 255 || classAt + m + 1 > bytes.size() || b(classAt + m) != 0) continue;
    bool name = true;
    for (std::size_t i = classAt; i < classAt + m; ++i)
      name = name && (IsNameChar(b(i)) || b(i) == '.');
    if (name) found.push_back({classAt + m + 1 + 1, start - 2, pair});
  }
  return found;
}

std::vector<core::Position> PlainSearch(const std::string& bytes) {
  std::vector<core::Position> positions;
  for (const PlainRecord& r : PlainRecords(bytes))
    positions.push_back(r.position);
  return positions;
}

bool IsFormNameChar(unsigned char c) {
  return IsNameChar(c) || c >= 0x80;
}

// The form headers as forms.h defines them: size long, a long, 00, word n, n name bytes (a letter
// or a byte above 0x7F first; the whole run before the pair, at most 255), 00, 0D or 14; the size
// at least what the header holds after it. As (offset, end, pair, header end).
struct PlainImage {
  std::uint64_t offset, end, pair, headerEnd;
  std::string name;
};
std::vector<PlainImage> PlainForms(const std::string& bytes) {
  std::vector<PlainImage> found;
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (std::size_t pair = 0; pair + 1 < bytes.size(); ++pair) {
    if (b(pair) != 0 || (b(pair + 1) != 0x0D && b(pair + 1) != 0x14)) continue;
    std::size_t start = pair;
    while (start > 0 && pair - start < 255 && IsFormNameChar(b(start - 1)))
      --start;
    const std::size_t n = pair - start;
    if (n == 0 || start < 11 || !(IsLetter(b(start)) || b(start) >= 0x80) || b(start - 1) != 0 ||
        b(start - 2) != n || b(start - 3) != 0) {
      continue;
    }
    const std::size_t at = start - 11;
    const std::uint64_t size =
        b(at) | (b(at + 1) << 8) | (b(at + 2) << 16) | (std::uint64_t{b(at + 3)} << 24);
    if (size < 9 + n) continue;
    found.push_back({at, at + 4 + size, pair, pair + 2, bytes.substr(start, n)});
  }
  return found;
}

// What a scan hands on, in order: "image OFFSET" with why it gives no form, "record POSITION in
// OFFSET" (or in none).
std::vector<std::string> PlainPlacement(const std::string& bytes) {
  const std::vector<PlainImage> images = PlainForms(bytes);
  const auto valid = [&](const PlainImage& image) {
    if (image.end > bytes.size()) return false;
    for (const PlainImage& other : images) {
      if (&other != &image && other.offset < image.end && image.offset < other.end) return false;
    }
    return true;
  };
  std::vector<std::pair<std::uint64_t, std::string>> events;  // by pair
  for (const PlainImage& image : images)
    events.emplace_back(
        image.pair, "image " + std::to_string(image.offset) + (valid(image) ? "" : " gives none"));
  for (const PlainRecord& r : PlainRecords(bytes)) {
    std::string in = "none";
    for (const PlainImage& image : images) {
      if (valid(image) && r.start >= image.headerEnd && r.position - 1 <= image.end)
        in = std::to_string(image.offset);
    }
    events.emplace_back(r.pair, "record " + std::to_string(r.position) + " in " + in);
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> order;
  for (const auto& e : events)
    order.push_back(e.second);
  return order;
}

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx::fuzz;
  if (size < 1) return 0;
  const unsigned how = data[0];
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t piece = std::size_t{16} << (how & 7);
  const bool holes = (how & 8) != 0;

  // One finder of each kind for every input: their window is too large to allocate quickly under
  // the sanitizers.
  static std::vector<tvx::core::Position> found;
  static std::vector<std::string> placed;
  static tvx::core::FormPlacer<tvx::core::Position> placer(
      [](tvx::core::Position&& position, const tvx::core::FormImage* form) {
        placed.push_back("record " + std::to_string(position) + " in " +
                         (form != nullptr ? std::to_string(form->offset) : "none"));
      },
      [](const tvx::core::FormImage& image, tvx::core::FormTrouble trouble) {
        placed.push_back("image " + std::to_string(image.offset) +
                         (trouble == tvx::core::FormTrouble::kNone ? "" : " gives none"));
      });
  static tvx::core::RecordFinder finder(
      [](const tvx::core::ControlRecord& record) { found.push_back(record.position); });
  static tvx::core::RecordFinder formFinder(
      [](const tvx::core::ControlRecord& record) {
        Check(record.after.size() >= 1 || record.endsInput, "the bytes after a stream's start");
        placer.Item(record.position, record.start, record.position - 1,
                    record.start + 2 + record.name.size());
      },
      [](const tvx::core::FormHeader& header) { placer.Image(header); });
  for (tvx::core::RecordFinder* f : {&finder, &formFinder}) {
    found.clear();
    placed.clear();
    placer.Restart();
    f->Restart();
    for (std::size_t at = 0; at < bytes.size();) {
      std::size_t zeros = 0;
      while (holes && at + zeros < bytes.size() && bytes[at + zeros] == '\0')
        ++zeros;
      if (zeros >= 16) {
        f->Zeros(zeros);
        at += zeros;
      } else {
        const std::size_t n = std::min(
            {piece, bytes.size() - at, f->Space().size(), tvx::core::RecordFinder::kPiece});
        std::memcpy(f->Space().data(), bytes.data() + at, n);
        f->Commit(n);
        at += n;
      }
      if (f == &formFinder) placer.Passed(f->looked());
    }
    f->Finish();
    Check(f->size() == bytes.size(), "the finder took in every byte");
    if (f == &finder) {
      Check(found == PlainSearch(bytes), "the records are those a plain search finds");
      continue;
    }
    placer.Finish(bytes.size());
    const std::vector<std::string> plain = PlainPlacement(bytes);
    // Past what a scan holds back, images give no form: the plain placement does not say so.
    if (plain.size() < tvx::core::FormPlacer<int>::kMaxHeld) {
      Check(placed == plain, "each record in the form a plain placement gives it");
    }
  }
  return 0;
}
