// The small platform layer: the program's directory, its files, and the exchange channel.
#pragma once

#include <memory>
#include <string>

#include "tvx/decode_run.h"
#include "tvx/decoder.h"

namespace tvx {

// The directory holding the running executable, without a trailing separator.
std::string ProgramDirectory();

// The platform's file system, writing into `outputDirectory`.
std::unique_ptr<FileSystem> MakeNativeFileSystem(std::string outputDirectory);

// Runs the plug-in: creates the window, serves messages until the end message or the end of
// the channel, and returns the exit status.
int RunPlugin(Decoder& decoder);

}  // namespace tvx
