// What the tvx commands share: reading the program file, the position and control arguments,
// and a printable form of raw bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tvx/decode_run.h"
#include "tvx/decoder.h"
#include "tvx/regular_file.h"

namespace tvx::tool {

// Exit statuses of every command.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;  // a file could not be read or written, a plug-in failed
inline constexpr int kBadArguments = 2;

// Opens program files as the plug-ins do (regular files only) and writes nowhere: a decode
// through it leaves no file behind. The file opened last stays open and is handed out again for
// the same path.
class ReadOnlyFiles final : public FileSystem {
 public:
  InputSource* OpenInput(const std::string& path) override;
  bool WriteOutput(std::string_view name, std::string_view bytes) override;

  // Why the last OpenInput returned nothing.
  const std::string& error() const { return error_; }
  // The file opened last, or nothing.
  RegularFile* file() const { return file_.get(); }

 private:
  std::string path_;
  std::unique_ptr<RegularFile> file_;
  std::string error_;
};

// The arguments of a command after the options were taken out.
struct Arguments {
  std::vector<std::string> positional;
  bool help = false;
  bool offsets = false;                // --offsets
  std::optional<std::string> picture;  // --picture PATH
  std::string error;                   // an unknown option, a missing option value
};

// Splits `args` into positional arguments and the options a command accepts.
Arguments ParseArguments(const std::vector<std::string>& args, bool acceptDecodeOptions);

// A start position: decimal as in a request (blanks around it, a fraction rounded half to even,
// leading zeros) or hexadecimal with "0x"; at least 1. Nothing when the text is not one.
std::optional<double> ParsePosition(std::string_view text);

// The decoder for a deliverable name or control class word; on failure writes an error naming
// the known controls.
std::unique_ptr<Decoder> DecoderFor(std::string_view control, std::ostream& err);

// The known controls, one "NAME (ClassWord)" per line, for the help texts.
std::string KnownControls();

// The bytes as text for a terminal: printable ASCII as it is, everything else as \xHH, and a
// backslash as \\.
std::string Printable(std::string_view bytes);

// "1025/401": a position in decimal and hexadecimal, as the listing's offset lines show it.
std::string PositionText(double position);

}  // namespace tvx::tool
