// tvx_io_floor DIR LISTING BLOCK COUNT
//
// The I/O floor of one request: writes DIR/TEVOLIBFILE.TMP with the bytes of the file LISTING
// and DIR/TEVOLIBFILE2.TMP with those of BLOCK, COUNT times each, the cheapest correct way:
// open without truncation, write, cut to the new length, close. (Opening with truncation and
// then writing makes the close wait for the disk on some file systems.) Prints the nanoseconds
// the COUNT rounds took.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool Replace(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ok;
  return close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: tvx_io_floor DIR LISTING BLOCK COUNT\n";
    return 2;
  }
  const std::string dir = argv[1];
  const std::string listing = ReadFile(argv[2]);
  const std::string block = ReadFile(argv[3]);
  const long count = std::strtol(argv[4], nullptr, 10);
  const std::string listingPath = dir + "/TEVOLIBFILE.TMP";
  const std::string blockPath = dir + "/TEVOLIBFILE2.TMP";
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < count; ++i) {
    if (!Replace(listingPath, listing) || !Replace(blockPath, block)) {
      std::perror("tvx_io_floor");
      return 1;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::cout << std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() << "\n";
  return 0;
}
