#include "host_text.h"

#include "files.h"
#include "text.h"
#include "tvx/output.h"
#include "words.h"

namespace tvx::render {

void WriteHostText(Writer& out, const core::HostOutcome& host, bool utf8) {
  if (host.startError) return;
  const std::string_view eol = FileLineEnd(out);
  out << "plug-in: " << PrintablePath(host.program, utf8) << eol;
  out << "request: " << Printable(host.request) << eol;
  out << "reply:   " << Printable(host.reply) << eol;
  if (!host.answered) return;
  for (const core::WrittenFile& file : host.files) {
    if (!file.written) {
      if (file.exists || file.name != kPictureFileName) {
        out << "== " << file.name << ": not written by this request ==" << eol;
      }
      continue;
    }
    out << "== " << file.name << ", " << std::to_string(file.size) << " bytes, in "
        << PrintablePath(host.directory, utf8);
    if (file.name == kPictureFileName) {
      out << " (a picture, not shown) ==" << eol;
      continue;
    }
    out << " ==" << eol;
    // The file as it is now, read a piece at a time.
    FileText text(out);
    core::ReadWhole(file.path, [&text](std::string_view piece) { text.Feed(piece); });
    text.Finish();
  }
  if (!host.rest.empty()) out << "after the reply: " << Printable(host.rest) << eol;
  if (host.exitStatus) {
    out << "end:     " << Printable(host.end) << " -> " << EndWords(*host.exitStatus) << eol;
  }
}

}  // namespace tvx::render
