// The inputs of tvx scan read once from start to end, a piece at a time: a regular file (whose
// holes, where the system tells them, are not read) or standard input. The platform's side.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace tvx::tool {

class SequentialInput {
 public:
  // The next part of the input: `read` bytes written to the start of `into`, or `zeros` zero
  // bytes that were not read (a hole); both 0 at the end.
  struct Part {
    std::size_t read = 0;
    std::uint64_t zeros = 0;
  };

  virtual ~SequentialInput() = default;
  // False on a read error, with the system's reason in `why`.
  virtual bool Next(std::span<std::uint8_t> into, Part* part, std::string* why) = 0;
};

// The regular file at `path`, or nothing with the reason in `why` (a folder, a device, a pipe
// are not regular files; nothing is read from them).
std::unique_ptr<SequentialInput> OpenSequential(const std::string& path, std::string* why);

// Standard input (never read at positions, never holds holes).
std::unique_ptr<SequentialInput> StandardInput();

// A new empty file in the system's folder of temporary files, open for reading and writing;
// nothing with the reason in `why`. Its path goes to `path`; the caller removes it.
std::FILE* CreateTemporaryFile(std::string* path, std::string* why);

}  // namespace tvx::tool
