#include "fuzz_support.h"

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

}  // namespace

void Fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n*** broken rule: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) std::fprintf(stderr, "    %s\n", Printable(detail).c_str());
  std::fflush(stderr);
  std::abort();
}

bool HasLineBreakByte(std::string_view bytes) {
  return bytes.find_first_of("\r\n") != std::string_view::npos;
}

std::string Hex(std::uint64_t value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
  return buffer;
}

std::vector<std::string_view> CheckListing(std::string_view listing,
                                           const std::vector<std::size_t>& lengths, bool strict) {
  std::vector<std::string_view> lines;
  lines.reserve(lengths.size());
  std::string_view rest = listing;
  for (const std::size_t length : lengths) {
    Check(rest.size() >= length + 2 && rest.substr(length, 2) == "\r\n",
          "the listing is not its lines each ended by CR LF", listing);
    lines.push_back(rest.substr(0, length));
    rest.remove_prefix(length + 2);
    if (strict)
      Check(!HasLineBreakByte(lines.back()), "a listing line holds a CR or LF", lines.back());
  }
  Check(rest.empty(), "the listing is not its lines each ended by CR LF", listing);
  return lines;
}

void CheckBlock(std::string_view block, bool strict) {
  Check(block.size() >= 2 && block.substr(block.size() - 2) == "\r\n",
        "the property block does not end with CR LF", block);
  if (!strict) return;
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (block[i] == '\r') {
      Check(i + 1 < block.size() && block[i + 1] == '\n', "a bare CR in the property block", block);
      ++i;
    } else {
      Check(block[i] != '\n', "a bare LF in the property block", block);
    }
  }
}

}  // namespace tvx::fuzz
