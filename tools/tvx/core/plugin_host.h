// One request to a built plug-in program through its exchange channel, made as the host makes
// it, and what the plug-in answered and wrote in its own folder.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "plugin_session.h"
#include "tvx/decoder.h"

namespace tvx::core {

// Where a plug-in program was looked for, and what was found.
struct PluginSearch {
  enum class Outcome {
    kFound,
    kNotExecutable,  // the file is there but the system would not start it
    kNotAFile,       // a folder, a device
    kMissing,        // no such file (a path), or in none of the folders (a control's name)
    kUnknownName,    // neither a path nor a control's name
  };
  Outcome outcome = Outcome::kMissing;
  std::string path;                  // the program found, or the file looked for first
  std::string fileName;              // a control's program, NAME.tvx
  std::vector<std::string> folders;  // where a control's program was looked for
};

// A path, or a deliverable name, class word or class name whose program (NAME.tvx) lies beside
// tvx or in libexec/tvx of the prefix tvx is installed in.
PluginSearch FindPlugin(const std::string& plugin);

// The deliverable a plug-in program is, by its file name, or nothing.
const DeliverableInfo* ControlOfProgram(const std::string& program);

// "%FILE#POSITION@FLAG" and the end mark.
std::string RequestMessage(const std::string& file, const std::string& position, bool offsets);

struct WrittenFile {
  std::string_view name;   // TEVOLIBFILE.TMP, TEVOLIBFILE2.TMP, TEVOGRAPHICFILE1.TMP
  std::string path;        // in the plug-in's folder
  bool written = false;    // by this request
  bool exists = false;     // now
  std::uint64_t size = 0;  // now
};

struct HostOutcome {
  std::string program;
  std::string directory;  // the plug-in's folder, where it writes its files
  std::string request;    // the message sent
  IoError startError;     // set when the plug-in could not be started; nothing else is then
  std::string reply;      // what the plug-in put in its text box, at most the reply's size
  bool answered = false;  // the reply is ^DONE and the end mark
  bool silent = false;    // it said nothing for the whole time
  bool closed = false;    // it closed its channel without answering
  std::optional<int> endedBeforeReply;  // its status, when it ended without answering
  double waited = 0;  // seconds from the request to the reply, or to the end of the wait
  std::vector<WrittenFile> files;  // the listing, the block, the picture
  std::string end;                 // the end message sent
  std::optional<int> exitStatus;   // after the end message; nothing: it did not end in time
  double endWaited = 0;            // seconds from the end message to its end, or to giving up
  bool stopped = false;            // it was ended, with all it had started, when the time ran out
  std::string rest;                // what it wrote after its reply
  // The plug-in's folder, held until the outcome is done with: no other tvx process's exchange
  // replaces its files meanwhile.
  std::shared_ptr<FolderLock> folder;
};

// Holds the plug-in's folder, starts the plug-in, sends the request, waits at most
// `timeoutSeconds` for the reply, looks at its files, sends the end message and waits at most as
// long again for it to end. A plug-in that does not answer or end in time is ended at once, with
// everything it started.
HostOutcome Host(const std::string& program, const std::string& request, double timeoutSeconds);

// "exit status 3" or "ended by signal 9", for a status the session gives.
std::string EndText(int status);

}  // namespace tvx::core
