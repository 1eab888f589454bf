#include "fuzz_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tvx::fuzz {

namespace {

// Printable form of bytes for a failure message, cut to a readable length.
std::string Printable(std::string_view bytes) {
  std::string out;
  for (const char c : bytes.substr(0, 400)) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  if (bytes.size() > 400) out += "...";
  return out;
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  if (what.empty()) return;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

std::string QuotedForm(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  quoted.push_back('"');
  return quoted;
}

}  // namespace

void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n*** broken rule: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) std::fprintf(stderr, "    %s\n", Printable(detail).c_str());
  std::fflush(stderr);
  std::abort();
}

std::optional<InputFile> MemoryFileSystem::ReadInput(const std::string& path, double start) {
  reads.push_back({path, start});
  const auto it = inputs.find(path);
  if (it == inputs.end()) return std::nullopt;
  Check(start >= 1 && std::floor(start) == start,
        "a run asks for its input at a position that is not a whole number >= 1");
  InputFile file;
  file.base = start;
  const std::string& bytes = it->second;
  if (start - 1 < static_cast<double>(bytes.size())) {
    const auto from = static_cast<std::size_t>(start - 1);
    // Exactly the remaining bytes: one allocation of that size, nothing spare behind it.
    file.bytes =
        std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
  }
  return file;
}

bool MemoryFileSystem::WriteOutput(std::string_view name, std::string_view bytes) {
  writes.emplace_back(std::string(name), std::string(bytes));
  return true;
}

void TextReads::OnRead(double, std::uint64_t, std::string_view reader, std::string_view value) {
  // Every reader that returns stream text; numbers and skipped bytes cannot hold a line break.
  if (reader == "zero-terminated text" || reader == "text" || reader == "UTF-16 text") {
    if (HasLineBreakByte(value)) texts_.emplace(value);
  }
}

std::vector<std::string> TextReads::BreakingTexts() const {
  std::vector<std::string> texts(texts_.begin(), texts_.end());
  std::stable_sort(texts.begin(), texts.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  return texts;
}

bool HasLineBreakByte(std::string_view bytes) {
  return bytes.find_first_of("\r\n") != std::string_view::npos;
}

std::string Hex(std::uint64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
  return buffer;
}

void CheckListing(std::string_view listing, const std::vector<std::string>& lines,
                  const std::vector<std::string>& streamTexts) {
  std::string joined;
  for (const std::string& line : lines) {
    joined += line;
    joined += "\r\n";
  }
  Check(joined == listing, "the listing is not its lines each ended by CR LF", listing);
  for (const std::string& line : lines) {
    if (!HasLineBreakByte(line)) continue;
    std::string rest = line;
    for (const std::string& text : streamTexts)
      ReplaceAll(rest, text, "\x01");
    Check(!HasLineBreakByte(rest), "a listing line holds a CR or LF the stream did not", line);
  }
}

void CheckBlock(std::string_view block, const std::vector<std::string>& streamTexts) {
  Check(block.size() >= 2 && block.substr(block.size() - 2) == "\r\n",
        "the property block does not end with CR LF", block);
  std::string rest(block);
  for (const std::string& text : streamTexts)
    ReplaceAll(rest, QuotedForm(text), "\x01");
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\r') {
      Check(i + 1 < rest.size() && rest[i + 1] == '\n', "a bare CR in the property block", block);
      ++i;
    } else {
      Check(rest[i] != '\n', "a bare LF in the property block", block);
    }
  }
}

}  // namespace tvx::fuzz
