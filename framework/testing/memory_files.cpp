#include "memory_files.h"

namespace tvx::testing {

std::size_t MemoryFileSystem::CountingInput::ReadAt(std::uint64_t offset, std::uint8_t* into,
                                                    std::size_t size) {
  const std::size_t got = bytes_.ReadAt(offset, into, size);
  owner_.readOffsets.push_back(offset);
  owner_.bytesRead += got;
  return got;
}

InputSource* MemoryFileSystem::OpenInput(const std::string& path) {
  opened.push_back(path);
  input_.reset();
  if (const auto it = inputs.find(path); it != inputs.end()) {
    return &input_.emplace(*this, it->second);
  }
  if (const auto it = borrowed.find(path); it != borrowed.end()) {
    return &input_.emplace(*this, it->second);
  }
  return nullptr;
}

bool MemoryFileSystem::WriteOutput(std::string_view name, std::string_view bytes) {
  outputs[std::string(name)] = std::string(bytes);
  writes.emplace_back(name, bytes);
  return true;
}

void MemoryFileSystem::ClearRecords() {
  writes.clear();
  opened.clear();
  readOffsets.clear();
  bytesRead = 0;
}

}  // namespace tvx::testing
