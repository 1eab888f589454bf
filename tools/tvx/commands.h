// The tvx commands and the one table that drives their dispatch, usage, help and the "did you
// mean" hints. Each command takes its parsed arguments, writes its result to standard output and
// its errors to standard error, and returns the exit status (cli.h).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace tvx::tool {

struct Command {
  std::string_view name;
  std::string_view synopsis;  // "tvx NAME ARGUMENTS...": the usage line, and the docs' heading
  std::string_view summary;   // what it does, for the overview
  std::vector<AcceptedOption> options;  // besides the ones every command takes
  std::string (*details)();             // `tvx help NAME` after the usage line
  int (*run)(const Arguments& args, Streams& io);
};

// Every command, in the order the overview lists them.
std::span<const Command> Commands();
const Command* FindCommand(std::string_view name);

// The options every command takes: --color WHEN and -q (--quiet).
std::span<const AcceptedOption> CommonOptions();

// tvx's whole command line (without the program name) run: the exit status.
int RunTvx(const std::vector<std::string>& args, Output& out, Output& err);

// The commands' own work.
int DecodeCommand(const Arguments& args, Streams& io);
int ExplainCommand(const Arguments& args, Streams& io);
int HostCommand(const Arguments& args, Streams& io);
int ScanCommand(const Arguments& args, Streams& io);
int ReportCommand(const Arguments& args, Streams& io);
int HelpCommand(const Arguments& args, Streams& io);

// The help texts after each command's usage line, and the overview.
std::string DecodeDetails();
std::string ExplainDetails();
std::string HostDetails();
std::string ScanDetails();
std::string ReportDetails();
std::string HelpDetails();
std::string Overview();

}  // namespace tvx::tool
