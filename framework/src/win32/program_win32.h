// Facts about the running program on Windows, and its file system, shared by the file system and
// the window.
#pragma once

#include <memory>
#include <string>

#include "tvx/decode_run.h"

namespace tvx::win32 {

// The full path of the running executable in the ANSI code page, "" when it cannot be had.
std::string ProgramPath();

// The executable's file name without its directory and without its last extension:
// "NAME.Program" for ...\NAME.Program.tvx.
std::string ProgramName();

// The plug-in's file system. Between requests it holds no program file open: a file another
// program then opens without sharing, or deletes and writes anew (as a compiler writes the
// program it makes), must not find the plug-in still holding it.
class PluginFiles : public FileSystem {
 public:
  // Closes the last request's program file; called once a request has been answered.
  virtual void ReleaseInput() = 0;
};

std::unique_ptr<PluginFiles> MakePluginFiles(std::string outputDirectory);

}  // namespace tvx::win32
