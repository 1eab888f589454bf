// Fuzz target for the exchange window: arbitrary message texts, requests among them, set into
// the text box one after the other, with an in-memory file system.
//
// Input layout:
//   byte 0      picks the decoder among those built
//   bytes 1-    the texts, separated by LF bytes. A text whose first byte is 0x01 is stretched
//               to a length near the text box's limit of 32,767 characters: its third and later
//               bytes are repeated to 32,639 + (second byte) characters, the last byte kept last.
//
// Rules held: a text that ends with the end mark and starts with "%" (or is longer than the
// text box holds) gets exactly one reply, "^DONE" + end mark, after the listing and the block
// were written; any other text gets none and writes nothing; the program ends on "^END" + end
// mark and on nothing else; the request is read as the exchange protocol says, checked here
// against a reading of it written independently of the program's.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "recording_text_box.h"
#include "registry.h"
#include "tvx/dispatcher.h"
#include "tvx/output.h"
#include "tvx/protocol.h"

namespace tvx::fuzz {
namespace {

constexpr char kMark = static_cast<char>(255);
const std::string kKnownPath = "C:\\apps\\term.exe";

using FakeTextBox = testing::RecordingTextBox;

struct Expected {
  bool valid = false;
  std::string path;
  double start = 0;
  char flag = 0;
};

// The request as the exchange protocol defines it: "%" path "#" decimal "@" flag ... end mark,
// at most 32,767 characters, the offset digits with an optional fraction and blanks around
// them, rounded half to even to at least 1.
Expected ReadRequest(const std::string& t) {
  Expected e;
  if (t.size() < 2 || t.size() > 32767 || t.front() != '%' || t.back() != kMark) return e;
  const std::size_t hash = t.find('#');
  const std::size_t at = t.find('@');
  if (hash == std::string::npos || at == std::string::npos || at < hash) return e;
  std::string number = t.substr(hash + 1, at - hash - 1);
  while (!number.empty() && number.front() == ' ')
    number.erase(0, 1);
  while (!number.empty() && number.back() == ' ')
    number.pop_back();
  int digits = 0;
  int points = 0;
  for (const char c : number) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.') {
      ++points;
    } else {
      return e;
    }
  }
  if (digits == 0 || points > 1) return e;
  const double value = std::strtod(number.c_str(), nullptr);
  const double rounded = std::nearbyint(value);
  if (!(rounded >= 1)) return e;
  e.valid = true;
  e.path = t.substr(1, hash - 1);
  e.start = rounded;
  e.flag = t[at + 1];
  return e;
}

std::vector<std::string> SplitTexts(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      texts.emplace_back();
    } else {
      texts.back().push_back(static_cast<char>(data[i]));
    }
  }
  for (std::string& t : texts) {
    if (t.size() < 3 || t[0] != '\x01') continue;
    const std::size_t length = 32639 + static_cast<unsigned char>(t[1]);
    const std::string_view body = std::string_view(t).substr(2);
    std::string stretched;
    stretched.reserve(length);
    while (stretched.size() + body.size() < length)
      stretched.append(body);
    stretched.append(body.substr(0, length - 1 - stretched.size()));
    stretched.push_back(body.back());
    t = std::move(stretched);
  }
  return texts;
}

void CheckAnswered(const std::string& t, const FakeTextBox& box, const MemoryFileSystem& files) {
  const std::string reply = std::string("^DONE") + kMark;
  Check(box.setByPlugin.size() == 1 && box.setByPlugin[0] == reply,
        "a request got other than one reply", t);
  Check(box.text == reply, "after a request the text box does not hold the reply", t);

  // The listing and the block were written before the reply; a picture only from a stream.
  std::size_t listings = 0;
  std::size_t blocks = 0;
  std::string listing;
  for (const auto& [name, bytes] : files.writes) {
    if (name == kListingFileName) {
      ++listings;
      listing = bytes;
    } else if (name == kBlockFileName) {
      ++blocks;
      Check(listings == 1, "the block was written before the listing", t);
      Check(bytes.rfind(std::string(kLibraryVersionLine) + "\r\n", 0) == 0,
            "the block does not start with LibraryVersion3.0", bytes);
    } else {
      Check(name == kPictureFileName && listings == 0, "an unexpected file was written", name);
    }
  }
  Check(listings == 1 && blocks == 1, "a request did not write one listing and one block", t);

  const Expected e = ReadRequest(t);
  if (!e.valid) {
    Check(files.opened.empty(), "an invalid request opened an input file", t);
    Check(listing == "Invalid request\r\n", "an invalid request is not listed as one", t);
    return;
  }
  // The input is opened by its path and first read at the requested position (an offset too
  // large for a double is simply far beyond the end of any file, where nothing is read).
  if (e.path.empty()) {
    Check(files.opened.empty(), "an empty path was opened", t);
  } else {
    Check(files.opened.size() == 1 && files.opened[0] == e.path,
          "the input was not opened once, by its path", t);
  }
  Check(files.readOffsets.empty() || static_cast<double>(files.readOffsets[0]) == e.start - 1,
        "the input was first read other than at the requested position", t);
  // An offset line starts a line (the texts hold no LF); the same words inside an echoed path
  // are not one.
  Check(e.flag == 'Y' || (listing.rfind("  (Offset d/h: ", 0) != 0 &&
                          listing.find("\n  (Offset d/h: ") == std::string::npos),
        "offset lines without the flag Y", t);
  if (!files.inputs.contains(e.path)) {
    Check(listing == "Cannot open input file: " + e.path + "\r\n",
          "a missing input is not listed as one", t);
  }
}

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx::fuzz;
  if (size < 1) return 0;
  // Every decoder built, made once: each request starts from a reset decoder anyway.
  static const std::vector<std::unique_ptr<tvx::Decoder>> decoders = [] {
    std::vector<std::unique_ptr<tvx::Decoder>> all;
    for (const tvx::DeliverableInfo* info : tvx::AllDeliverables())
      all.push_back(tvx::FindDecoder(info->name));
    Check(!all.empty(), "no decoder was built");
    return all;
  }();
  tvx::Decoder& decoder = *decoders[data[0] % decoders.size()];

  // One known program file, in a file system that outlives the input.
  static MemoryFileSystem files;
  if (files.inputs.empty()) {
    std::string stream(1, '\x2D');
    stream.append(40, '\0');
    stream.push_back('\xFF');
    files.inputs[kKnownPath] = stream;
  }
  FakeTextBox box;
  tvx::Dispatcher dispatcher(decoder, files, box);
  box.dispatcher = &dispatcher;

  for (const std::string& t : SplitTexts(data + 1, size - 1)) {
    box.setByPlugin.clear();
    files.ClearRecords();
    box.Host(t);
    Check(box.setOutsideNotification == 0 && box.maxDepth <= 2,
          "the program set the text box outside a change notification, or its reply's own "
          "notification set the text again",
          t);

    const bool complete = !t.empty() && t.back() == kMark;
    if (complete && (t.front() == '%' || t.size() > tvx::kMaxMessageLength)) {
      CheckAnswered(t, box, files);
      Check(box.ended == 0, "a request ended the program", t);
      continue;
    }
    Check(box.setByPlugin.empty(), "a text that is not a request got a reply", t);
    Check(files.opened.empty() && files.writes.empty(), "a text that is not a request was acted on",
          t);
    const bool end = complete && t.front() == '^' && t.substr(1, t.find(kMark) - 1) == "END";
    Check(box.ended == (end ? 1 : 0),
          end ? "the end message did not end the program"
              : "a text other than the end message ended the program",
          t);
    if (end) break;  // the program has ended: nothing more reaches it
  }
  return 0;
}
