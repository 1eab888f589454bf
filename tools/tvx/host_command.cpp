// tvx host: drives a built plug-in program through its exchange channel as the host does, in the
// plug-in's own directory, and shows what it answered and wrote.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "commands.h"
#include "common.h"
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

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A path, or a deliverable name or class word looked up beside this executable.
std::optional<std::string> FindPlugin(const std::string& plugin) {
  if (plugin.find('/') != std::string::npos) {
    if (IsExecutableFile(plugin)) return plugin;
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
    const std::string path = dir + "/" + name;
    if (IsExecutableFile(path)) return path;
  }
  return std::nullopt;
}

std::string Directory(const std::string& path) {
  // The plug-in finds its directory through the link it runs from, so links are followed here
  // too.
  char resolved[PATH_MAX];
  const std::string real = realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  const std::size_t slash = real.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : real.substr(0, slash);
}

struct FileState {
  bool exists = false;
  struct stat st {};
};

FileState StateOf(const std::string& path) {
  FileState state;
  state.exists = stat(path.c_str(), &state.st) == 0;
  return state;
}

bool Changed(const FileState& before, const FileState& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return before.st.st_ino != after.st.st_ino || before.st.st_size != after.st.st_size ||
         before.st.st_mtim.tv_sec != after.st.st_mtim.tv_sec ||
         before.st.st_mtim.tv_nsec != after.st.st_mtim.tv_nsec ||
         before.st.st_ctim.tv_sec != after.st.st_ctim.tv_sec ||
         before.st.st_ctim.tv_nsec != after.st.st_ctim.tv_nsec;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::string Message(std::string_view body) {
  std::string message(body);
  message.push_back(kEndMark);
  return message;
}


}  // namespace

int HostCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments parsed = ParseArguments(args, false);
  if (parsed.help) {
    out << kHostHelp;
    return kOk;
  }
  if (!parsed.error.empty()) {
    err << "tvx host: " << parsed.error << "\n\n" << kHostHelp;
    return kBadArguments;
  }
  const std::vector<std::string>& a = parsed.positional;
  if (a.size() < 3 || a.size() > 4) {
    err << "tvx host: expected PLUGIN FILE POSITION [Y|N], got " << a.size() << " argument"
        << (a.size() == 1 ? "" : "s") << "\n\n"
        << kHostHelp;
    return kBadArguments;
  }
  const std::string& path = a[1];
  const std::optional<double> start = ParsePosition(a[2]);
  if (!start) {
    err << "tvx host: \"" << Printable(a[2])
        << "\" is not a start position (a whole number from 1, decimal or 0x hexadecimal)\n";
    return kBadArguments;
  }
  const std::string flag = a.size() == 4 ? a[3] : "N";
  if (flag != "Y" && flag != "N") {
    err << "tvx host: the offsets flag is Y or N, not \"" << Printable(flag) << "\"\n";
    return kBadArguments;
  }
  if (path.find_first_of(std::string_view("#@\xFF", 3)) != std::string::npos) {
    err << "tvx host: a request cannot carry the path \"" << Printable(path)
        << "\": it holds \"#\", \"@\" or the end mark\n";
    return kBadArguments;
  }
  const std::optional<std::string> program = FindPlugin(a[0]);
  if (!program) {
    err << "tvx host: no plug-in program \"" << Printable(a[0]) << "\" (a path, or one of these "
        << "beside tvx in " << Printable(ProgramDirectory()) << "):\n"
        << KnownControls();
    return kBadArguments;
  }
  ReadOnlyFiles reader;
  if (reader.OpenInput(path) == nullptr) {
    err << "tvx host: cannot read \"" << Printable(path) << "\": " << reader.error() << "\n";
    return kFailed;
  }

  // The position goes as it was given, in decimal; a hexadecimal one is converted.
  const bool hex = a[2].size() > 2 && a[2][0] == '0' && (a[2][1] == 'x' || a[2][1] == 'X');
  const std::string request =
      Message("%" + path + "#" + (hex ? NumberText(*start) : a[2]) + "@" + flag);
  if (request.size() > kMaxMessageLength) {
    err << "tvx host: the request would be longer than " << kMaxMessageLength << " characters\n";
    return kBadArguments;
  }

  const std::string dir = Directory(*program);
  const std::array<std::string_view, 3> names = {kListingFileName, kBlockFileName,
                                                 kPictureFileName};
  std::array<FileState, 3> before;
  for (std::size_t i = 0; i < names.size(); ++i) {
    before[i] = StateOf(dir + "/" + std::string(names[i]));
  }

  ChildProcess child(*program);
  if (!child.started()) {
    err << "tvx host: cannot start " << Printable(*program) << ": " << child.error() << "\n";
    return kFailed;
  }
  out << "plug-in: " << Printable(*program) << "\n";
  out << "request: " << Printable(request) << "\n";
  const std::string expected = Message("^DONE");
  const std::string reply =
      child.Send(request) ? child.Read(expected.size(), kReplyTimeoutMs) : std::string();
  out << "reply:   " << Printable(reply) << "\n";
  if (reply != expected) {
    err << "tvx host: the plug-in did not answer " << Printable(expected) << " within "
        << kReplyTimeoutMs / 1000 << " s\n";
    return kFailed;
  }

  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string file = dir + "/" + std::string(names[i]);
    const FileState after = StateOf(file);
    if (!Changed(before[i], after)) {
      if (after.exists || i < 2) out << "== " << names[i] << ": not written by this request ==\n";
      continue;
    }
    const std::string bytes = ReadWhole(file);
    out << "== " << names[i] << ", " << bytes.size() << " bytes, in " << Printable(dir);
    if (names[i] == kPictureFileName) {
      out << " (a picture, not shown) ==\n";
      continue;
    }
    out << " ==\n";
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  const std::string end = Message("^END");
  child.Send(end);
  child.CloseInput();
  const std::optional<int> status = child.Wait(kExitTimeoutMs);
  const std::string rest = child.Read(0, 100);
  if (!rest.empty()) out << "after the reply: " << Printable(rest) << "\n";
  if (!status) {
    err << "tvx host: the plug-in did not end within " << kExitTimeoutMs / 1000 << " s of "
        << Printable(end) << "; it was killed\n";
    return kFailed;
  }
  out << "end:     " << Printable(end) << " -> " << StatusText(*status) << "\n";
  out.flush();
  return *status == 0 && rest.empty() ? kOk : kFailed;
}

}  // namespace tvx::tool
