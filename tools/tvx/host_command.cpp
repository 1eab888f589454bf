// tvx host: drives a built plug-in program through its exchange channel as the host does, in the
// plug-in's own directory, and shows what it answered and wrote.
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "commands.h"
#include "hexstream.h"
#include "host_platform.h"
#include "inputs.h"
#include "positions.h"
#include "registry.h"
#include "text_output.h"
#include "tvx/dispatcher.h"
#include "tvx/output.h"
#include "tvx/platform.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

constexpr double kDefaultTimeoutSeconds = 10;
constexpr int kExitTimeoutMs = 5000;
constexpr std::string_view kPluginExtension = ".tvx";

// The folders where a plug-in named without a path is looked up: beside tvx (the build tree),
// then in libexec/tvx of the prefix tvx is installed in.
std::vector<std::string> PluginFolders() {
  const std::string dir = ProgramDirectory();
  return {dir, PathIn(PathIn(PathIn(dir, ".."), "libexec"), "tvx")};
}

// A path, or a deliverable name, class word or class name looked up in the plug-in folders.
std::optional<std::string> FindPlugin(const std::string& plugin) {
  if (HasDirectory(plugin)) {
    if (IsProgramFile(plugin)) return plugin;
    return std::nullopt;
  }
  // Only plug-in programs are looked up here, never tvx itself.
  std::vector<std::string> names = {plugin + std::string(kPluginExtension)};
  if (plugin.ends_with(kPluginExtension)) names.push_back(plugin);
  if (auto decoder = FindDecoder(plugin)) {
    names.push_back(std::string(decoder->Info().name) + std::string(kPluginExtension));
  }
  for (const std::string& dir : PluginFolders()) {
    for (const std::string& name : names) {
      const std::string path = PathIn(dir, name);
      if (IsProgramFile(path)) return path;
    }
  }
  return std::nullopt;
}

// Seconds with one decimal: "10.0".
std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

bool Changed(const FileStamp& before, const FileStamp& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return before.id != after.id || before.size != after.size || before.changed != after.changed;
}

std::string ReadWhole(const std::string& path) {
  return hexstream::ReadFile(path);
}

std::string Message(std::string_view body) {
  std::string message(body);
  message.push_back(kEndMark);
  return message;
}

// The deliverable a plug-in program is, by its file name, or nothing.
std::unique_ptr<Decoder> DecoderOfProgram(const std::string& program) {
  std::string name = FileNameOf(program);
  if (name.ends_with(kPluginExtension)) name.resize(name.size() - kPluginExtension.size());
  return FindDecoder(name);
}

}  // namespace

int HostCommand(const Arguments& args, Streams& io) {
  Output& out = io.out;
  Output& err = io.err;
  std::vector<std::string> a = args.positional;
  // A last argument Y or N, in any case, is the offsets flag, as the request carries it.
  bool offsets = args.Has("offsets");
  if (a.size() >= 3 && a.back().size() == 1 &&
      (a.back() == "Y" || a.back() == "y" || a.back() == "N" || a.back() == "n")) {
    offsets = offsets || a.back() == "Y" || a.back() == "y";
    a.pop_back();
  }
  if (a.size() < 2 || a.size() > 3) {
    return UsageError(err, "host",
                      "expected PLUGIN FILE POSITION, got " + std::to_string(a.size()) +
                          " argument" + (a.size() == 1 ? "" : "s"));
  }
  const std::string& path = a[1];
  if (path == "-") {
    return UsageError(err, "host", "a plug-in reads files only: FILE cannot be - (standard input)");
  }
  double timeout = kDefaultTimeoutSeconds;
  if (const std::optional<std::string> value = args.Value("timeout")) {
    char* end = nullptr;
    timeout = std::strtod(value->c_str(), &end);
    if (value->empty() || *end != '\0' || !(timeout > 0) || timeout > 86400) {
      return UsageError(err, "host",
                        "--timeout takes a number of seconds above 0, at most a day, not \"" +
                            Printable(*value) + "\"");
    }
  }
  const std::optional<double> start = StartFrom(args, a.size() == 3 ? &a[2] : nullptr, "host", err);
  if (!start) return kUsage;
  if (path.find_first_of(std::string_view("#@\xFF", 3)) != std::string::npos) {
    return UsageError(err, "host",
                      "a request cannot carry the path \"" + PrintablePath(path) +
                          "\": it holds \"#\", \"@\" or the end mark");
  }
  const std::optional<std::string> program = FindPlugin(a[0]);
  if (!program) {
    const std::vector<std::string> folders = PluginFolders();
    err << "tvx host: no plug-in program \"" << Printable(a[0]) << "\" (a path, or one of these "
        << "in " << PrintablePath(folders[0]) << " or " << PrintablePath(folders[1]) << "):\n"
        << KnownControls();
    return kUsage;
  }
  // A position given in decimal goes as it was given; a hexadecimal one or an offset in decimal.
  const bool asGiven = a.size() == 3 && a[2].find_first_of("xX") == std::string::npos;
  const std::string request = Message("%" + path + "#" + (asGiven ? a[2] : NumberText(*start)) +
                                      "@" + (offsets ? "Y" : "N"));
  if (request.size() > kMaxMessageLength) {
    return UsageError(
        err, "host",
        "the request would be longer than " + std::to_string(kMaxMessageLength) + " characters");
  }

  const std::string dir = DirectoryOf(*program);
  const std::array<std::string_view, 3> names = {kListingFileName, kBlockFileName,
                                                 kPictureFileName};
  std::array<FileStamp, 3> before;
  for (std::size_t i = 0; i < names.size(); ++i) {
    before[i] = StampOf(PathIn(dir, std::string(names[i])));
  }

  std::string error;
  const std::unique_ptr<PluginSession> session = StartPlugin(*program, &error);
  if (!session) {
    err << "tvx host: cannot start " << PrintablePath(*program) << ": " << error << "\n";
    return kIoError;
  }
  // Every line of this output ends as the files' lines do when piped (see text_output.h).
  const std::string_view eol = FileLineEnd(out);
  out << "plug-in: " << PrintablePath(*program) << eol;
  out << "request: " << Printable(request) << eol;
  const std::string expected(kReply);
  const auto asked = std::chrono::steady_clock::now();
  const std::string reply =
      session->Ask(request, expected.size(), static_cast<int>(std::lround(timeout * 1000)));
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - asked;
  out << "reply:   " << Printable(reply) << eol;
  if (reply != expected) {
    // Gone or silent: say which, with its status or signal if it ended. A plug-in that stayed
    // silent for the whole time is stopped at once (the session ends it).
    const bool silent = waited.count() + 0.05 >= timeout;  // the wait ends to the millisecond
    const std::optional<int> status = session->Ended(silent ? 0 : kExitTimeoutMs);
    err << "tvx host: the plug-in did not answer " << Printable(expected);
    if (status) {
      err << ": it ended (" << EndText(*status) << ")";
    } else if (silent) {
      err << " in " << Seconds(waited.count()) << " s (--timeout " << NumberText(timeout)
          << "); it was stopped";
    }
    err << "\n";
    return kIoError;
  }

  std::string missing;  // the files the plug-in should have written and did not
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string file = PathIn(dir, std::string(names[i]));
    const FileStamp after = StampOf(file);
    if (!Changed(before[i], after)) {
      if (after.exists || i < 2) {
        out << "== " << names[i] << ": not written by this request ==" << eol;
      }
      if (i < 2) missing += (missing.empty() ? "" : " and ") + std::string(names[i]);
      continue;
    }
    const std::string bytes = ReadWhole(file);
    out << "== " << names[i] << ", " << static_cast<long long>(bytes.size()) << " bytes, in "
        << PrintablePath(dir);
    if (names[i] == kPictureFileName) {
      out << " (a picture, not shown) ==" << eol;
      continue;
    }
    out << " ==" << eol;
    ShowLines(out, bytes);
  }

  const std::string end = Message("^END");
  const std::optional<int> status = session->End(end, kExitTimeoutMs);
  const std::string rest = session->Rest();
  if (!rest.empty()) out << "after the reply: " << Printable(rest) << eol;
  if (!status) {
    err << "tvx host: the plug-in did not end within " << kExitTimeoutMs / 1000 << " s of "
        << Printable(end) << "; it was killed\n";
    return kIoError;
  }
  out << "end:     " << Printable(end) << " -> " << EndText(*status) << eol;
  if (*status != 0 || !rest.empty()) {
    err << "tvx host: the plug-in ended wrongly (" << EndText(*status)
        << (rest.empty() ? "" : ", and wrote after its reply") << ")\n";
    return kIoError;
  }
  if (!out.Finish()) {
    err << "tvx host: cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  if (!missing.empty()) {
    err << "tvx host: the plug-in answered but did not write " << missing << " in "
        << PrintablePath(dir) << ": it writes its files in its own folder, which must be "
        << "writable\n";
    return kIoError;
  }
  // How the decode ended, from the same decode in this process where the plug-in is known.
  if (const auto decoder = DecoderOfProgram(*program)) {
    ReadOnlyFiles files;
    const DecodeOutput result = RunDecode(*decoder, MakeRequest(path, *start), files);
    if (result.ended != DecodeEnd::kEndCode) {
      err << "tvx host: the decode ended early: " << StopText(result) << "\n";
      return kEndedEarly;
    }
  }
  return kOk;
}

}  // namespace tvx::tool
