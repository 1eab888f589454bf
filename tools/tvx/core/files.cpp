#include <vector>

#include "files.h"

namespace tvx::core {

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

}  // namespace tvx::core
