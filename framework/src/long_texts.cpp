#include "tvx/long_texts.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

namespace tvx {

namespace {

constexpr char kMark = '\x01';
constexpr char kPlain = 'P';
constexpr char kQuoted = 'Q';
constexpr char kHex[] = "0123456789abcdef";
// The bytes read from the file at a time when a stand-in is expanded.
constexpr std::size_t kPiece = 65536;

thread_local const LongTexts* tActive = nullptr;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

LongTexts::LongTexts(std::size_t threshold) : threshold_(threshold) {
  // Letters and digits: nothing a quote doubles or a view escapes, never the mark itself.
  static constexpr char kKeyChars[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // One generator per thread, seeded from the system once: a random_device opened for every
  // decode cost more than a small decode itself.
  thread_local std::mt19937_64 random = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  }();
  for (char& c : key_)
    c = kKeyChars[random() % (sizeof kKeyChars - 1)];
}

LongTexts::Scope::Scope(const LongTexts* texts) : before_(tActive) {
  tActive = texts;
}

LongTexts::Scope::~Scope() {
  tActive = before_;
}

const LongTexts* LongTexts::Active() {
  return tActive;
}

std::string LongTexts::Add(const Entry& entry) {
  const std::size_t number = entries_.size();
  entries_.push_back(entry);
  std::string standIn(1, kMark);
  standIn.append(key_.data(), kKey);
  standIn.push_back(kPlain);
  for (int shift = 28; shift >= 0; shift -= 4)
    standIn.push_back(kHex[(number >> shift) & 15]);
  return standIn;
}

std::size_t LongTexts::StandInAt(std::string_view text, std::size_t at, const Entry** entry,
                                 bool* quoted) const {
  if (text.size() - at < kStandIn || text[at] != kMark ||
      std::memcmp(text.data() + at + 1, key_.data(), kKey) != 0) {
    return 0;
  }
  const char kind = text[at + 1 + kKey];
  if (kind != kPlain && kind != kQuoted) return 0;
  std::size_t number = 0;
  for (std::size_t i = at + 2 + kKey; i < at + kStandIn; ++i) {
    const int digit = HexValue(text[i]);
    if (digit < 0) return 0;
    number = number * 16 + static_cast<std::size_t>(digit);
  }
  if (number >= entries_.size()) return 0;
  *entry = &entries_[number];
  *quoted = kind == kQuoted;
  return at + kStandIn;
}

const LongTexts::Entry* LongTexts::Find(std::string_view text, bool* quoted) const {
  const Entry* entry = nullptr;
  bool isQuoted = false;
  if (text.size() != kStandIn || StandInAt(text, 0, &entry, &isQuoted) == 0) return nullptr;
  if (quoted != nullptr) *quoted = isQuoted;
  return entry;
}

std::string LongTexts::QuotedStandIn(std::string_view standIn) const {
  std::string quoted(standIn);
  if (Find(standIn) != nullptr) quoted[1 + kKey] = kQuoted;
  return quoted;
}

bool LongTexts::Holds(std::string_view text) const {
  if (entries_.empty()) return false;
  for (std::size_t at = text.find(kMark); at != std::string_view::npos;
       at = text.find(kMark, at + 1)) {
    const Entry* entry = nullptr;
    bool quoted = false;
    if (StandInAt(text, at, &entry, &quoted) != 0) return true;
  }
  return false;
}

void LongTexts::Expand(std::string_view text, InputSource& input,
                       const std::function<void(std::string_view)>& write) const {
  std::size_t done = 0;
  if (!entries_.empty()) {
    for (std::size_t at = text.find(kMark); at != std::string_view::npos;
         at = text.find(kMark, at)) {
      const Entry* entry = nullptr;
      bool quoted = false;
      const std::size_t end = StandInAt(text, at, &entry, &quoted);
      if (end == 0) {
        ++at;
        continue;
      }
      if (at > done) write(text.substr(done, at - done));
      ExpandEntry(*entry, quoted, input, write);
      done = at = end;
    }
  }
  if (done < text.size()) write(text.substr(done));
}

void LongTexts::ExpandEntry(const Entry& entry, bool quoted, InputSource& input,
                            const std::function<void(std::string_view)>& write) const {
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kPiece);
  std::string piece;
  std::uint64_t left = entry.length;
  std::uint64_t offset = entry.offset;
  while (left > 0) {
    const std::uint64_t wanted = std::min<std::uint64_t>(left * entry.stride, kPiece);
    const std::size_t got = input.ReadAt(offset, buffer.get(), static_cast<std::size_t>(wanted));
    if (got == 0) break;  // the file shrank since: what is left of it
    piece.clear();
    for (std::size_t i = 0; i < got && left > 0; i += entry.stride, --left) {
      const char c = static_cast<char>(buffer[i]);
      piece.push_back(c);
      if (quoted && c == '"') piece.push_back(c);
    }
    offset += got;
    write(piece);
  }
}

}  // namespace tvx
