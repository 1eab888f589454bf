// tvx_io_floor DIR COUNT FILE...
//
// The I/O floor of one request: writes each FILE's bytes to DIR under FILE's name without a
// ".ref" ending (TEVOLIBFILE.TMP.ref to DIR/TEVOLIBFILE.TMP), COUNT times each, in the order
// given, the cheapest correct way: open without truncation, write, cut to the new length, close.
// (Opening with truncation and then writing makes the close wait for the disk on some file
// systems.) Prints the nanoseconds the COUNT rounds took.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "hexstream.h"

namespace {

bool Replace(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ok;
  return close(fd) == 0 && ok;
}

struct Output {
  std::string path;
  std::string bytes;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: tvx_io_floor DIR COUNT FILE...\n";
    return 2;
  }
  const std::string dir = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  std::vector<Output> outputs;
  for (int i = 3; i < argc; ++i) {
    std::string name = argv[i];
    name = name.substr(name.rfind('/') + 1);
    constexpr std::string_view kRef = ".ref";
    if (name.ends_with(kRef)) name.resize(name.size() - kRef.size());
    outputs.push_back({dir + "/" + name, tvx::hexstream::ReadFile(argv[i])});
  }
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < count; ++i) {
    for (const Output& output : outputs) {
      if (!Replace(output.path, output.bytes)) {
        std::perror("tvx_io_floor");
        return 1;
      }
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::cout << std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() << "\n";
  return 0;
}
