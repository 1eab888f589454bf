// What the commands share: the stream named on the command line (CONTROL FILE POSITION or
// --file-offset), the program file opened, the messages about a file that cannot be read, and
// the exit status once the output is written.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "commands.h"
#include "decode.h"
#include "files.h"
#include "places.h"
#include "scan.h"

namespace tvx::cli {

struct Target {
  const DeliverableInfo* control = nullptr;
  std::string file;
  core::Position position = 0;
};

// CONTROL FILE [POSITION] from the operands (POSITION or --file-offset); nothing after a usage
// error, which is written. A rounded position is warned of.
std::optional<Target> TargetOf(std::string_view command, const Parsed& args, Io& io);

// The start position from POSITION or --file-offset; nothing after a usage error.
std::optional<core::Position> StartOf(std::string_view command, const Parsed& args,
                                      const std::string* position, Io& io);

// The control named; nothing after a usage error naming the known controls.
const DeliverableInfo* ControlOf(std::string_view command, std::string_view name, Io& io);

// "standard input" for "-", else the path as a terminal shows it, in quotes.
std::string FileWords(const std::string& path, const Io& io);

// The program file, or nothing after "tvx CMD: cannot read ...: reason" on standard error.
std::shared_ptr<InputSource> OpenInput(std::string_view command, const std::string& path, Io& io);

// The exit status once the output is written: 1 when standard output could not be written,
// 3 when the decode ended early (said on standard error), 0 otherwise.
int Finish(std::string_view command, const std::optional<core::StopInfo>& stop, Io& io);

// The records a scan picks, from the options every command that scans takes (--class, --all,
// --name, --position, --file-offset, --follow, -j); checked by the parser.
core::ScanOptions SelectionOf(const Parsed& args);

// Writes `write`'s bytes to the file at `path`, whole or not at all (an earlier file there is
// left as it was when anything fails); false after "tvx CMD: cannot write ..." on standard
// error.
bool WriteFile(std::string_view command, const std::string& path,
               const std::function<void(render::Writer&)>& write, Io& io);

}  // namespace tvx::cli
