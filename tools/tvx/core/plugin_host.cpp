#include "plugin_host.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

#include "controls.h"
#include "plugin_session.h"
#include "tvx/output.h"
#include "tvx/protocol.h"

namespace tvx::core {

namespace {

constexpr std::string_view kPluginExtension = ".tvx";

bool Changed(const FileStamp& before, const FileStamp& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return before.id != after.id || before.size != after.size || before.changed != after.changed;
}

std::string Message(std::string_view body) {
  std::string message(body);
  message.push_back(kEndMark);
  return message;
}

PluginSearch::Outcome OutcomeOf(ProgramState state) {
  switch (state) {
    case ProgramState::kProgram:
      return PluginSearch::Outcome::kFound;
    case ProgramState::kNotExecutable:
      return PluginSearch::Outcome::kNotExecutable;
    case ProgramState::kNotAFile:
      return PluginSearch::Outcome::kNotAFile;
    case ProgramState::kMissing:
      break;
  }
  return PluginSearch::Outcome::kMissing;
}

}  // namespace

PluginSearch FindPlugin(const std::string& plugin) {
  PluginSearch search;
  if (HasDirectory(plugin)) {
    search.path = plugin;
    search.outcome = OutcomeOf(ProgramStateOf(plugin));
    return search;
  }
  // Only plug-in programs are looked up by name, never tvx itself.
  std::vector<std::string> names;
  if (plugin.ends_with(kPluginExtension)) names.push_back(plugin);
  const std::string bare = plugin.ends_with(kPluginExtension)
                               ? plugin.substr(0, plugin.size() - kPluginExtension.size())
                               : plugin;
  const DeliverableInfo* control = FindControl(bare);
  if (control != nullptr)
    names.push_back(std::string(control->name) + std::string(kPluginExtension));
  if (names.empty()) {
    search.outcome = PluginSearch::Outcome::kUnknownName;
    return search;
  }
  search.fileName = names.back();
  const std::string dir = ToolDirectory();
  search.folders = {dir, PathIn(PathIn(PathIn(dir, ".."), "libexec"), "tvx")};
  // The first usable program wins; else what is wrong with the first file that is there.
  std::optional<PluginSearch::Outcome> seen;
  for (const std::string& folder : search.folders) {
    for (const std::string& name : names) {
      const std::string path = PathIn(folder, name);
      const PluginSearch::Outcome outcome = OutcomeOf(ProgramStateOf(path));
      if (outcome == PluginSearch::Outcome::kFound) {
        search.path = path;
        search.outcome = outcome;
        return search;
      }
      if (outcome != PluginSearch::Outcome::kMissing && !seen) {
        seen = outcome;
        search.path = path;
      }
    }
  }
  search.outcome = seen.value_or(PluginSearch::Outcome::kMissing);
  if (!seen) search.path = PathIn(search.folders.front(), search.fileName);
  return search;
}

const DeliverableInfo* ControlOfProgram(const std::string& program) {
  std::string name = FileNameOf(program);
  if (name.ends_with(kPluginExtension)) name.resize(name.size() - kPluginExtension.size());
  return FindControl(name);
}

std::string RequestMessage(const std::string& file, const std::string& position, bool offsets) {
  return Message("%" + file + "#" + position + "@" + (offsets ? "Y" : "N"));
}

HostOutcome Host(const std::string& program, const std::string& request, double timeoutSeconds) {
  using Clock = std::chrono::steady_clock;
  const auto seconds = [](Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
  };
  HostOutcome outcome;
  outcome.program = program;
  outcome.request = request;
  outcome.directory = DirectoryOf(program);
  outcome.folder = HoldFolder(outcome.directory);
  const std::array<std::string_view, 3> names = {kListingFileName, kBlockFileName,
                                                 kPictureFileName};
  std::array<FileStamp, 3> before;
  for (std::size_t i = 0; i < names.size(); ++i)
    before[i] = StampOf(PathIn(outcome.directory, std::string(names[i])));

  std::string error;
  const std::unique_ptr<PluginSession> session = StartPlugin(program, &error);
  if (!session) {
    outcome.startError = {0, error};
    return outcome;
  }
  const int timeoutMs = static_cast<int>(std::lround(timeoutSeconds * 1000));
  const std::string expected(kReply);
  const auto asked = Clock::now();
  outcome.reply = session->Ask(request, expected.size(), timeoutMs, &outcome.closed);
  outcome.answered = outcome.reply == expected;
  if (!outcome.answered) {
    // Gone, going, or silent: it has the rest of the time to end, then it is ended.
    const int left = std::max(0, timeoutMs - static_cast<int>(std::lround(seconds(asked) * 1000)));
    outcome.silent = !outcome.closed;
    outcome.endedBeforeReply = outcome.closed ? session->Wait(left) : std::nullopt;
    if (!outcome.endedBeforeReply) {
      session->Stop();
      outcome.stopped = true;
    }
    outcome.waited = seconds(asked);
    return outcome;
  }
  outcome.waited = seconds(asked);
  for (std::size_t i = 0; i < names.size(); ++i) {
    WrittenFile& file = outcome.files.emplace_back();
    file.name = names[i];
    file.path = PathIn(outcome.directory, std::string(names[i]));
    const FileStamp after = StampOf(file.path);
    file.written = Changed(before[i], after);
    file.exists = after.exists;
    file.size = after.size;
  }
  outcome.end = Message("^END");
  const auto ended = Clock::now();
  session->End(outcome.end, timeoutMs);
  outcome.exitStatus = session->Wait(timeoutMs);
  outcome.endWaited = seconds(ended);
  if (!outcome.exitStatus) {
    session->Stop();
    outcome.stopped = true;
  }
  outcome.rest = session->Rest();
  return outcome;
}

}  // namespace tvx::core
