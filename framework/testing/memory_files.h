// A file system in memory, for the tests, the fuzz targets and the benchmarks: inputs are byte
// strings by path, outputs are recorded by name and in order, and every byte an input hands out
// is counted.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tvx/decode_run.h"

namespace tvx::testing {

class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string, std::less<>> inputs;  // path -> whole file
  // Files whose bytes live elsewhere and outlive their use here (a fuzzer's input buffer,
  // allocated to its exact size): path -> whole file. A path in `inputs` is found there first.
  std::map<std::string, std::string_view, std::less<>> borrowed;
  std::map<std::string, std::string, std::less<>> outputs;  // name -> last bytes written
  std::vector<std::pair<std::string, std::string>> writes;  // every write, in order
  std::vector<std::string> opened;                          // every OpenInput path, in order
  std::vector<std::uint64_t> readOffsets;                   // offset of every read, in order
  std::uint64_t bytesRead = 0;                              // bytes handed out by all reads

  InputSource* OpenInput(const std::string& path) override;
  bool WriteOutput(std::string_view name, std::string_view bytes) override;
  // Forgets what was opened, read and written; keeps the files.
  void ClearRecords();

 private:
  class CountingInput final : public InputSource {
   public:
    CountingInput(MemoryFileSystem& owner, std::string_view bytes) : owner_(owner), bytes_(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override;
    std::uint64_t Size() override { return bytes_.Size(); }

   private:
    MemoryFileSystem& owner_;
    BytesInput bytes_;
  };

  std::optional<CountingInput> input_;
};

}  // namespace tvx::testing
