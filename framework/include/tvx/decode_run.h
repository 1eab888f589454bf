// One decode run: a request in, the listing, the property block and perhaps a picture out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/decoder.h"

namespace tvx {

// The bytes of an input file from the start position to its end.
struct InputFile {
  std::vector<std::uint8_t> bytes;
  double base = 1;  // file position of bytes[0]
};

// Where a run reads its input and writes its files. The real one works in the directory of the
// running program; tests and fuzzers use one in memory.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The bytes of a regular file from `start` (a whole position >= 1) to its end; nothing when
  // the path is not a regular file that can be opened for reading. Never creates the file and
  // never waits on it.
  virtual std::optional<InputFile> ReadInput(const std::string& path, double start) = 0;
  // Replaces the file `name` in the output directory with exactly `bytes`. On failure the file
  // is left missing or empty, never with earlier contents; returns false.
  virtual bool WriteOutput(std::string_view name, std::string_view bytes) = 0;
};

struct Request {
  bool valid = false;
  std::string InputPath;
  double StartOffset = 0;  // rounded half to even, >= 1 when valid
  char OffsetFlag = 'N';
};

// Parses the text of a request message ("%" path "#" position "@" flag end-mark).
Request ParseRequest(std::string_view text);

struct DecodeOutput {
  std::string listing;
  std::string block;
  std::optional<std::string> picture;
};

class ReadObserver;
class ListingObserver;

struct DecodeHooks {
  ReadObserver* reads = nullptr;
  ListingObserver* lines = nullptr;
};

// Runs InitProperties, ParseControl and WriteToFile for one request, in memory.
DecodeOutput RunDecode(Decoder& decoder, const Request& request, FileSystem& files,
                       const DecodeHooks& hooks = {});

// The whole decode run: RunDecode, then the picture, listing and block files.
void ParseLibraryFile(Decoder& decoder, const Request& request, FileSystem& files);

}  // namespace tvx
