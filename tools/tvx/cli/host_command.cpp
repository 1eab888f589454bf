// tvx host: drives a built plug-in program through its exchange channel as the host does, in the
// plug-in's own directory, and shows what it answered and wrote.
#include <cstdio>

#include "commands.h"
#include "controls.h"
#include "host_text.h"
#include "json.h"
#include "plugin_host.h"
#include "plugin_session.h"
#include "suggest.h"
#include "support.h"
#include "text.h"
#include "tvx/protocol.h"
#include "tvx/text.h"
#include "words.h"

namespace tvx::cli {

using O = Option;
using render::Printable;

namespace {

constexpr double kDefaultTimeoutSeconds = 10;

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

// The plug-in program, or nothing after saying why on standard error (the status in `status`).
std::optional<std::string> Plugin(const std::string& name, Io& io, int* status) {
  const core::PluginSearch search = core::FindPlugin(name);
  using Outcome = core::PluginSearch::Outcome;
  const std::string path = render::PrintablePath(search.path, io.utf8);
  switch (search.outcome) {
    case Outcome::kFound:
      return search.path;
    case Outcome::kUnknownName: {
      std::string message = "no plug-in program \"" + Printable(name) + "\"";
      if (const std::string_view close = core::SuggestControl(name); !close.empty()) {
        message += "; did you mean '" + std::string(close) + "'?";
      }
      io.err << "tvx host: " << message
             << " (PLUGIN is a path, or one of these controls, whose program NAME.tvx is looked "
                "for beside tvx and in ../libexec/tvx):\n"
             << render::KnownControls() << "try 'tvx host --help'\n";
      *status = kUsage;
      return std::nullopt;
    }
    case Outcome::kMissing:
      if (search.folders.empty()) {
        io.err << "tvx host: cannot start \"" << path << "\": No such file or directory\n";
      } else {
        io.err << "tvx host: the plug-in program " << search.fileName << " is in neither "
               << render::PrintablePath(search.folders[0], io.utf8) << " nor "
               << render::PrintablePath(search.folders[1], io.utf8) << "\n";
      }
      break;
    case Outcome::kNotExecutable:
      io.err << "tvx host: cannot start \"" << path
             << "\": it is not executable (Permission denied)\n";
      break;
    case Outcome::kNotAFile:
      io.err << "tvx host: cannot start \"" << path << "\": not a regular file\n";
      break;
  }
  *status = kIoError;
  return std::nullopt;
}

// PLUGIN FILE POSITION [Y|N] and the options, as the request they make.
struct HostArguments {
  std::string plugin;
  std::string file;
  core::Position start = 0;
  bool offsets = false;
  double timeout = kDefaultTimeoutSeconds;
  std::string request;  // the message, its end mark included
};

// The arguments, or nothing after a usage error.
std::optional<HostArguments> ArgumentsOf(const Parsed& args, Io& io) {
  std::vector<std::string> a = args.operands;
  HostArguments host;
  // A last argument Y or N, in any case, is the offsets flag, as the request carries it.
  host.offsets = args.Has(O::kOffsets);
  if (a.size() >= 3 && (a.back() == "Y" || a.back() == "y" || a.back() == "N" || a.back() == "n")) {
    host.offsets = host.offsets || a.back() == "Y" || a.back() == "y";
    a.pop_back();
  }
  const auto usage = [&io](const std::string& message) {
    UsageError(io.err, "host", message);
    return std::nullopt;
  };
  if (a.size() < 2 || a.size() > 3) {
    return usage("expected PLUGIN FILE POSITION, got " + render::Plural(a.size(), "argument"));
  }
  host.plugin = a[0];
  host.file = a[1];
  if (host.file == "-")
    return usage("a plug-in reads files only: FILE cannot be - (standard input)");
  if (const std::optional<std::string> value = args.Value(O::kTimeout)) {
    host.timeout = std::strtod(value->c_str(), nullptr);  // checked by the parser
  }
  const std::optional<core::Position> start =
      StartOf("host", args, a.size() == 3 ? &a[2] : nullptr, io);
  if (!start) return std::nullopt;
  host.start = *start;
  if (host.file.find_first_of(std::string_view("#@\xFF", 3)) != std::string::npos) {
    return usage("a request cannot carry the path \"" + render::PrintablePath(host.file, io.utf8) +
                 "\": it holds \"#\", \"@\" or the end mark");
  }
  // The path as the plug-in opens it: on Windows in the system's ANSI code page.
  const std::optional<std::string> sent = core::PathForPlugin(host.file);
  if (!sent) {
    return usage("a request cannot carry the path \"" + render::PrintablePath(host.file, io.utf8) +
                 "\": the plug-in opens its input by a name in the system's ANSI code page, "
                 "which has no such name");
  }
  // A position given in decimal goes as it was given; a hexadecimal one or an offset in decimal.
  const bool asGiven = a.size() == 3 && a[2].find_first_of("xX") == std::string::npos;
  host.request =
      core::RequestMessage(*sent, asGiven ? a[2] : std::to_string(host.start), host.offsets);
  if (host.request.size() > kMaxMessageLength) {
    return usage("the request would be longer than " + std::to_string(kMaxMessageLength) +
                 " characters");
  }
  return host;
}

// How the same decode ends in this process, where the plug-in's control is known.
std::optional<core::StopInfo> StopOf(const std::string& program, const HostArguments& a) {
  const DeliverableInfo* control = core::ControlOfProgram(program);
  const core::OpenedInput opened = core::OpenProgram(a.file);
  if (control == nullptr || !opened.input) return std::nullopt;
  const std::unique_ptr<Decoder> decoder = core::NewDecoder(*control);
  core::DecodeSink none;
  return core::StreamDecode(*decoder, *opened.input, a.start, a.offsets).Run(none).stop;
}

// The status of an exchange that took place, with what went wrong on standard error.
int StatusOf(const core::HostOutcome& host, const std::optional<core::StopInfo>& stop,
             double timeout, Io& io) {
  const std::string waited = " s (--timeout " + NumberText(timeout) + "); it was stopped\n";
  if (!host.answered) {
    if (host.endedBeforeReply) {
      io.err << "tvx host: the plug-in did not answer " << Printable(kReply) << ": it ended ("
             << render::EndWords(*host.endedBeforeReply) << ")\n";
    } else if (host.silent) {
      io.err << "tvx host: the plug-in did not answer " << Printable(kReply) << " in "
             << Seconds(host.waited) << waited;
    } else {
      io.err << "tvx host: the plug-in closed its channel without answering " << Printable(kReply)
             << " and did not end in " << Seconds(host.waited) << waited;
    }
    return kIoError;
  }
  if (!host.exitStatus) {
    io.err << "tvx host: the plug-in did not end within " << Seconds(host.endWaited) << " s of "
           << Printable(host.end) << waited.substr(2);
    return kIoError;
  }
  if (*host.exitStatus != 0 || !host.rest.empty()) {
    io.err << "tvx host: the plug-in ended wrongly (" << render::EndWords(*host.exitStatus)
           << (host.rest.empty() ? "" : ", and wrote after its reply") << ")\n";
    return kIoError;
  }
  if (!io.out.Finish()) {
    io.err << "tvx host: cannot write to standard output: " << io.out.error() << "\n";
    return kIoError;
  }
  std::string missing;  // the files the plug-in should have written and did not
  for (std::size_t i = 0; i < 2 && i < host.files.size(); ++i) {
    if (!host.files[i].written) {
      missing += (missing.empty() ? "" : " and ") + std::string(host.files[i].name);
    }
  }
  if (!missing.empty()) {
    io.err << "tvx host: the plug-in answered but did not write " << missing << " in "
           << render::PrintablePath(host.directory, io.utf8)
           << ": it writes its files in its own folder, which must be writable\n";
    return kIoError;
  }
  if (stop && stop->ended != DecodeEnd::kEndCode) {
    io.err << "tvx host: the decode ended early: " << render::StopText(*stop) << "\n";
    return kEndedEarly;
  }
  return kOk;
}

}  // namespace

int HostCommand(const Parsed& args, Io& io) {
  const std::optional<HostArguments> a = ArgumentsOf(args, io);
  if (!a) return kUsage;
  if (io.checkOnly) return kOk;
  int status = kOk;
  const std::optional<std::string> program = Plugin(a->plugin, io, &status);
  if (!program) return status;
  // The program file must be readable: the plug-in would only say it cannot open it.
  if (!OpenInput("host", a->file, io)) return kIoError;
  const core::HostOutcome host = core::Host(*program, a->request, a->timeout);
  if (host.startError) {
    io.err << "tvx host: cannot start \"" << render::PrintablePath(*program, io.utf8)
           << "\": " << host.startError.reason << "\n";
    return kIoError;
  }
  const std::optional<core::StopInfo> stop = StopOf(*program, *a);
  if (args.Has(O::kJson)) {
    render::WriteHostJson(io.out, host, a->file, a->start, a->offsets, stop ? &*stop : nullptr);
  } else {
    render::WriteHostText(io.out, host, io.utf8);
  }
  return StatusOf(host, stop, a->timeout, io);
}

}  // namespace tvx::cli
