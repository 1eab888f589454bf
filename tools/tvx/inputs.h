// What the tvx commands read and decode: program files opened as the plug-ins open them, the
// control named on the command line, and how a decode ended, as a code and in words.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cli.h"
#include "tvx/decode_run.h"
#include "tvx/decoder.h"
#include "tvx/regular_file.h"

namespace tvx::tool {

// Opens program files as the plug-ins do (regular files only; "-" is standard input, read whole)
// and writes nowhere: a decode through it leaves no file behind. The file opened last stays open
// and is handed out again for the same path.
class ReadOnlyFiles final : public FileSystem {
 public:
  InputSource* OpenInput(const std::string& path) override;
  bool WriteOutput(std::string_view name, std::string_view bytes) override;

  // Why the last OpenInput returned nothing.
  const std::string& error() const { return error_; }
  // The input opened last, or nothing.
  InputSource* input() const { return input_.get(); }

 private:
  std::string path_;
  std::string standardInput_;
  std::unique_ptr<InputSource> input_;
  std::string error_;
};

// The decoder for a deliverable name, control class word or class name (any case); on failure a
// usage error naming the known controls.
std::unique_ptr<Decoder> DecoderFor(std::string_view control, std::string_view command,
                                    Output& err);

// The known controls, one "  NAME (ClassWord; class names)" per line.
std::string KnownControls();

// How a decode ended, as a code for scripts: "end_code", "input_ended", "stopped_by_stream",
// "invalid_request", "input_not_opened".
std::string_view StopCode(DecodeEnd ended);
// How a decode ended, in words, with where.
std::string StopText(const DecodeOutput& decoded);

// Writes `bytes` to the file `path`, created or replaced; false with the system's reason.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error);

}  // namespace tvx::tool
