// One decode run: a request in, the listing, the property block and perhaps a picture out.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tvx/decoder.h"
#include "tvx/property.h"
#include "tvx/protocol.h"
#include "tvx/reader.h"

namespace tvx {

// Where a run reads its input and writes its files. The real one works in the directory of the
// running program; tests and fuzzers use one in memory.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The regular file at `path`, opened for reading; nothing when the path is not a regular file
  // that can be opened for reading. Never creates the file and never waits on it. The input
  // stays valid until the next OpenInput or the end of the file system.
  virtual InputSource* OpenInput(const std::string& path) = 0;
  // Replaces the file `name` in the output directory with exactly `bytes`. On failure the file
  // is left missing or empty, never with earlier contents; returns false.
  virtual bool WriteOutput(std::string_view name, std::string_view bytes) = 0;
};

struct DecodeOutput {
  std::string listing;
  std::string block;
  std::optional<std::string> picture;
  double picturePosition = 0;  // where the picture's image starts in the file
  DecodeEnd ended = DecodeEnd::kEndCode;
  StopPlace stop;
};

class LongTexts;

// What a tool asks of a decode beyond the plug-ins' own.
struct DecodeOptions {
  DecodeObserver* observer = nullptr;  // told of every read, frame part, code and listing line
  bool keepListing = true;             // false: the listing's lines go to the observer only
  LongTexts* longTexts = nullptr;      // long texts and pictures left in the file
  BlockObserver* block = nullptr;      // told of every block line with its property
};

// One request decoded in memory: the decoder reset, the stream read, the block written. The
// observer, where given, is told of every read, frame part, code and listing line.
DecodeOutput RunDecode(Decoder& decoder, const Request& request, FileSystem& files,
                       DecodeObserver* observer = nullptr);
DecodeOutput RunDecode(Decoder& decoder, const Request& request, FileSystem& files,
                       const DecodeOptions& options);

// One request served: RunDecode, then the picture, listing and block files.
void ServeRequest(Decoder& decoder, const Request& request, FileSystem& files);

}  // namespace tvx
