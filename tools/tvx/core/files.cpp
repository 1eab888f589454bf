#include <cerrno>
#include <vector>

#include "files.h"

namespace tvx::core {

bool ReadWhole(const std::string& path, const std::function<void(std::string_view)>& write) {
  const OpenedInput opened = OpenProgram(path);
  if (!opened.input) return false;
  std::string piece(std::size_t{64} << 10, '\0');
  for (std::uint64_t at = 0;;) {
    const std::size_t got =
        opened.input->ReadAt(at, reinterpret_cast<std::uint8_t*>(piece.data()), piece.size());
    if (got == 0) return true;
    write(std::string_view(piece).substr(0, got));
    at += got;
  }
}

std::unique_ptr<TemporaryFile> CopyStandardInput(IoError* error) {
  std::unique_ptr<TemporaryFile> copy = TemporaryFile::Create(error);
  if (!copy) return nullptr;
  std::unique_ptr<SequentialInput> input = StandardInputStream();
  std::vector<std::uint8_t> buffer(std::size_t{256} << 10);
  for (SequentialInput::Part part;;) {
    if (!input->Next(buffer, &part, error)) return nullptr;
    if (part.read == 0) break;
    if (!copy->Append(std::span(buffer).first(part.read), error)) return nullptr;
  }
  return copy;
}

OpenedInput OpenProgram(const std::string& path) {
  OpenedInput opened;
  if (path == "-") {
    opened.input = CopyStandardInput(&opened.error);
  } else {
    opened.input = OpenRegularInput(path, &opened.error);
  }
  return opened;
}

bool OutputFile::Nameable(const std::string& path, IoError* error) {
  if (!path.empty() && path.find('\0') == std::string::npos) return true;
  *error = {ENOENT, "not a file name"};
  return false;
}

}  // namespace tvx::core
