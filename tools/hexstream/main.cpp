// tvx-hexstream IN.hex OUT.bin: turns annotated hex into bytes; - is standard input or output.
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "hexstream.h"

namespace {

constexpr char kUsage[] =
    "usage: tvx-hexstream IN.hex OUT.bin\n"
    "\n"
    "Turns annotated hex (the text form of the test streams and samples: hex bytes, w:N words,\n"
    "l:N longs, z:N zero bytes, r:N:XX repeats, \"text\" and u\"text\", # comments) into the\n"
    "bytes it describes. IN.hex or OUT.bin may be - for standard input or output.\n"
    "Exit status: 0 done, 1 the input is not annotated hex or a file cannot be read or written,\n"
    "2 bad arguments.\n";

}  // namespace

int main(int argc, char** argv) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::cout << kUsage;
    return std::cout.flush() ? 0 : 1;
  }
  if (argc != 3) {
    std::cerr << "tvx-hexstream: expected IN.hex OUT.bin\ntry 'tvx-hexstream --help'\n";
    return 2;
  }
  const std::string in = argv[1];
  const std::string out = argv[2];
  try {
    const std::string text =
        in == "-" ? tvx::hexstream::ReadAll(stdin, "standard input") : tvx::hexstream::ReadFile(in);
    std::string bytes;
    try {
      bytes = tvx::hexstream::Parse(text);
    } catch (const tvx::hexstream::SyntaxError& e) {
      std::cerr << "tvx-hexstream: " << (in == "-" ? "standard input" : in) << ": " << e.what()
                << "\n";
      return 1;
    }
    if (out == "-") {
      if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
          std::fflush(stdout) != 0) {
        std::perror("tvx-hexstream: cannot write to standard output");
        return 1;
      }
    } else {
      tvx::hexstream::WriteFile(out, bytes);
    }
  } catch (const std::exception& e) {  // a file that cannot be read or written
    std::cerr << "tvx-hexstream: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
