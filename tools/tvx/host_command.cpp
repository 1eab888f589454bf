// tvx host: drives a built plug-in program through its exchange channel as the host does, in the
// plug-in's own directory, and shows what it answered and wrote.
#include <array>

#include "commands.h"
#include "common.h"
#include "hexstream.h"
#include "host_platform.h"
#include "registry.h"
#include "tvx/dispatcher.h"
#include "tvx/output.h"
#include "tvx/platform.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

constexpr int kReplyTimeoutMs = 10000;
constexpr int kExitTimeoutMs = 5000;
constexpr std::string_view kPluginExtension = ".tvx";

// A path, or a deliverable name or class word looked up beside this executable.
std::optional<std::string> FindPlugin(const std::string& plugin) {
  if (HasDirectory(plugin)) {
    if (IsProgramFile(plugin)) return plugin;
    return std::nullopt;
  }
  // Only plug-in programs are looked up here, never tvx itself.
  const std::string dir = ProgramDirectory();
  std::vector<std::string> names = {plugin + std::string(kPluginExtension)};
  if (plugin.ends_with(kPluginExtension)) names.push_back(plugin);
  if (auto decoder = FindDecoder(plugin)) {
    names.push_back(std::string(decoder->Info().name) + std::string(kPluginExtension));
  }
  for (const std::string& name : names) {
    const std::string path = PathIn(dir, name);
    if (IsProgramFile(path)) return path;
  }
  return std::nullopt;
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

int HostCommand(const std::vector<std::string>& args, Output& out, Output& err) {
  const Arguments parsed = ParseArguments(args, {{"offsets"}, {"file-offset", true}});
  if (parsed.help) return Help("host", out, err);
  if (!parsed.error.empty()) return UsageError(err, "host", parsed.error);
  std::vector<std::string> a = parsed.positional;
  // A last argument Y or N, in any case, is the offsets flag, as the request carries it.
  bool offsets = parsed.Has("offsets");
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
  const std::optional<double> start =
      StartFrom(parsed, a.size() == 3 ? &a[2] : nullptr, "host", err);
  if (!start) return kUsage;
  if (path.find_first_of(std::string_view("#@\xFF", 3)) != std::string::npos) {
    return UsageError(err, "host",
                      "a request cannot carry the path \"" + Printable(path) +
                          "\": it holds \"#\", \"@\" or the end mark");
  }
  const std::optional<std::string> program = FindPlugin(a[0]);
  if (!program) {
    err << "tvx host: no plug-in program \"" << Printable(a[0]) << "\" (a path, or one of these "
        << "beside tvx in " << PrintablePath(ProgramDirectory()) << "):\n"
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
  out << "plug-in: " << PrintablePath(*program) << "\n";
  out << "request: " << Printable(request) << "\n";
  const std::string expected(kReply);
  const std::string reply = session->Ask(request, expected.size(), kReplyTimeoutMs);
  out << "reply:   " << Printable(reply) << "\n";
  if (reply != expected) {
    // Gone or silent: say which, with its status or signal if it ended.
    const std::optional<int> status = session->Ended(kExitTimeoutMs);
    err << "tvx host: the plug-in did not answer " << Printable(expected);
    if (status) {
      err << ": it ended (" << EndText(*status) << ")";
    } else {
      err << " within " << kReplyTimeoutMs / 1000 << " s";
    }
    err << "\n";
    return kIoError;
  }

  std::string listing;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string file = PathIn(dir, std::string(names[i]));
    const FileStamp after = StampOf(file);
    if (!Changed(before[i], after)) {
      if (after.exists || i < 2) out << "== " << names[i] << ": not written by this request ==\n";
      continue;
    }
    const std::string bytes = ReadWhole(file);
    if (i == 0) listing = bytes;
    out << "== " << names[i] << ", " << static_cast<long long>(bytes.size()) << " bytes, in "
        << PrintablePath(dir);
    if (names[i] == kPictureFileName) {
      out << " (a picture, not shown) ==\n";
      continue;
    }
    out << " ==\n";
    ShowLines(out, bytes);
  }

  const std::string end = Message("^END");
  const std::optional<int> status = session->End(end, kExitTimeoutMs);
  const std::string rest = session->Rest();
  if (!rest.empty()) out << "after the reply: " << Printable(rest) << "\n";
  if (!status) {
    err << "tvx host: the plug-in did not end within " << kExitTimeoutMs / 1000 << " s of "
        << Printable(end) << "; it was killed\n";
    return kIoError;
  }
  out << "end:     " << Printable(end) << " -> " << EndText(*status) << "\n";
  if (*status != 0 || !rest.empty()) {
    err << "tvx host: the plug-in ended wrongly (" << EndText(*status)
        << (rest.empty() ? "" : ", and wrote after its reply") << ")\n";
    return kIoError;
  }
  if (!out.Finish()) {
    err << "tvx host: cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  // How the decode ended, from the same decode in this process where the plug-in is known.
  if (const auto decoder = DecoderOfProgram(*program)) {
    Request r;
    r.valid = true;
    r.path = path;
    r.start = *start;
    ReadOnlyFiles files;
    const DecodeOutput result = RunDecode(*decoder, r, files);
    if (result.ended != DecodeEnd::kEndCode) {
      err << "tvx host: the decode ended early: " << EndedEarlyReason(result.ended, listing)
          << "\n";
      return kEndedEarly;
    }
  }
  return kOk;
}

}  // namespace tvx::tool
