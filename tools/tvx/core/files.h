// Where tvx reads: program files opened for reading at offsets, the same read once from start to
// end (a scan), standard input, and the temporary file that standard input is copied to when it
// must be read at offsets. Errors come back as values: the system's error number and its reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "tvx/reader.h"

namespace tvx::core {

struct IoError {
  int code = 0;        // the errno value (ENOENT, EACCES, EISDIR, ...); 0 when there is none
  std::string reason;  // in words: "No such file or directory", "not a regular file"

  explicit operator bool() const { return !reason.empty(); }
};

// A program file opened for reading at offsets: the regular file at `path`, or standard input
// ("-") copied whole to a temporary file that is gone once the input is. Only regular files
// open: a folder is refused with EISDIR, a device, pipe or socket as "not a regular file",
// before anything is read from it.
struct OpenedInput {
  std::shared_ptr<InputSource> input;
  IoError error;
};
OpenedInput OpenProgram(const std::string& path);
// The regular file at `path` alone, in the platform's own way; nothing with the reason.
std::shared_ptr<InputSource> OpenRegularInput(const std::string& path, IoError* error);

// A path as tvx holds it (UTF-8 on Windows; elsewhere the bytes given) as the file system's path,
// and back. On Windows a long path is marked so that no MAX_PATH applies; its text is without
// the mark.
std::filesystem::path FileSystemPath(const std::string& text);
std::string PathText(const std::filesystem::path& path);

// A file read once from start to end, a piece at a time.
class SequentialInput {
 public:
  // The next part of the input: `read` bytes written to the start of `into`, or `zeros` zero
  // bytes that were not read (a hole of a sparse file); both 0 at the end.
  struct Part {
    std::size_t read = 0;
    std::uint64_t zeros = 0;
  };

  virtual ~SequentialInput() = default;
  // False on a read error, with the reason in `error`.
  virtual bool Next(std::span<std::uint8_t> into, Part* part, IoError* error) = 0;
  // True, with the reason, when the file's size or time of change is not what it was when it was
  // opened: what was read of it may be of no one state of it.
  virtual bool Changed(IoError* /*error*/) { return false; }
};

// The regular file at `path` (its holes, where the system tells them, are not read), or nothing
// with the reason.
std::unique_ptr<SequentialInput> OpenSequential(const std::string& path, IoError* error);
// Standard input.
std::unique_ptr<SequentialInput> StandardInputStream();

// A new temporary file, open for reading and writing, that no name leads to (it is gone when
// closed); nothing, with the reason naming the folder of temporary files, when it cannot be made.
class TemporaryFile : public InputSource {
 public:
  static std::unique_ptr<TemporaryFile> Create(IoError* error);
  // Appends the bytes; false with the reason.
  virtual bool Append(std::span<const std::uint8_t> bytes, IoError* error) = 0;
};

// A file written whole or not at all: its bytes go to a new file in the same folder, which takes
// the file's name only when Commit succeeds. Until then, and whenever anything fails, a file that
// had the name stays as it was, and the new file is removed.
class OutputFile {
 public:
  static std::unique_ptr<OutputFile> Create(const std::string& path, IoError* error);
  // Whether `path` can name a file to create (not empty, no zero byte); false with the reason.
  static bool Nameable(const std::string& path, IoError* error);
  virtual ~OutputFile() = default;
  virtual bool Write(std::span<const std::uint8_t> bytes, IoError* error) = 0;
  virtual bool Commit(IoError* error) = 0;
};

// The bytes of the file at `path` as it is now, handed to `write` a piece at a time; false when
// it cannot be opened.
bool ReadWhole(const std::string& path, const std::function<void(std::string_view)>& write);

// Standard input copied whole to a temporary file; nothing with the reason.
std::unique_ptr<TemporaryFile> CopyStandardInput(IoError* error);

}  // namespace tvx::core
