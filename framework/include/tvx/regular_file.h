// A program file opened for reading at offsets: the one way the plug-ins and the tools open an
// input. Only regular files open: a directory, device, pipe, FIFO or console is refused before
// anything is read from it, so a read never waits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tvx/reader.h"

namespace tvx {

class RegularFile final : public InputSource {
 public:
  // The file at `path`; nothing when it is not a regular file that opens for reading, with the
  // reason in `why` when given. Never creates the file.
  static std::unique_ptr<RegularFile> Open(const std::string& path, std::string* why = nullptr);

  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;
  ~RegularFile() override;

  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override;
  std::uint64_t Size() override;

  // True when `path` still names this very file: the file was neither removed nor replaced since
  // it was opened. Where that cannot be told cheaply, false, so the caller opens the path anew.
  bool StillAt(const std::string& path) const;

 private:
  RegularFile(std::intptr_t handle, std::string path, std::uint64_t device, std::uint64_t id)
      : handle_(handle), path_(std::move(path)), device_(device), id_(id) {}

  std::intptr_t handle_;
  std::string path_;
  std::uint64_t device_;
  std::uint64_t id_;
};

}  // namespace tvx
