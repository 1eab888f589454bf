// What the tvx commands share: opening the program file, the control and position arguments,
// the texts of how a decode ended, and printable and JSON forms of raw bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The decoder for a deliverable name or control class word (any case); on failure a usage error
// naming the known controls.
std::unique_ptr<Decoder> DecoderFor(std::string_view control, std::string_view command,
                                    Output& err);

// The known controls, one "  NAME (ClassWord)" per line.
std::string KnownControls();

// The stream's start position from a command's arguments: POSITION (1-based as the host counts,
// decimal as a request carries it, or 0x hexadecimal) or --file-offset OFFSET (0-based, as a hex
// dump shows it). Writes a usage error or a rounding warning to `err`; nothing on error.
std::optional<double> StartFrom(const Arguments& args, const std::string* position,
                                std::string_view command, Output& err);

// A 1-based position as a request carries it, rounded half to even to a whole number >= 1.
std::optional<double> ParsePosition(std::string_view text);

// How a decode ended: "end code", "end of file", "stop line", "input not readable",
// "invalid request".
std::string_view EndedName(DecodeEnd ended);
// Why a decode ended before its end code, for one line on standard error; "" for the end code.
std::string EndedEarlyReason(DecodeEnd ended, const std::string& listing);

// The bytes as text for a terminal: printable ASCII as it is, everything else as \xHH, and a
// backslash as \\.
std::string Printable(std::string_view bytes);
// A file's path for a terminal: as Printable, but a backslash stays one (Windows paths).
std::string PrintablePath(std::string_view path);
// CR LF text for a terminal: each line Printable, ended by a plain line feed.
std::string PrintableLines(std::string_view text);
// Writes CR LF text (a listing, a block) to `out`: as it is when piped, printable on a terminal.
void ShowLines(Output& out, std::string_view text);

// A JSON string of the bytes: each byte is the Unicode character of the same number (bytes
// 0xA0 to 0xFF as U+00A0 to U+00FF in UTF-8; the control characters, C1 among them, escaped as
// \u00XX), so the bytes survive a round trip and none reaches a terminal as a control.
std::string JsonString(std::string_view bytes);
// A JSON array of the CR LF lines of `text`, without their line ends.
std::string JsonLines(std::string_view text);
// What a decode gave, as JSON object members that follow others: how it ended, the picture's
// size (or null), the listing and block lines; each member line starts with `indent`.
std::string JsonDecodeMembers(const DecodeOutput& decoded, std::string_view indent);

// The lines of a CR LF text, without their line ends.
std::vector<std::string_view> CrLfLines(std::string_view text);

// Writes `bytes` to the file `path`, created or replaced; false with the system's reason.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error);

// "1025/401": a position in decimal and hexadecimal, as the listing's offset lines show it.
std::string PositionText(double position);

}  // namespace tvx::tool
