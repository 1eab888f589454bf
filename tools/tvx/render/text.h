// Text for people: stream bytes and paths made safe for a terminal, and the line-end rule.
//
// Stream texts are bytes, one character each: on a terminal every byte that is not printable
// ASCII shows as \xHH (a backslash as \\). A path is the user's own text: valid UTF-8 shows as it
// is (unless the terminal does not take UTF-8), a single backslash stays one, and only control
// characters and bytes that are not valid UTF-8 show as \xHH.
//
// Output that carries the plug-in's files (decode, scan --decode, host) follows one line-end
// rule: piped or redirected, every line ends with CR LF, as the files' own lines do, and their
// bytes pass unchanged; on a terminal every line ends with LF and the files' bytes are shown
// as above. Everything else ends its lines with LF.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "writer.h"

namespace tvx::render {

std::string Printable(std::string_view bytes);
// The path for a terminal whose character set is UTF-8 or not.
std::string PrintablePath(std::string_view path, bool utf8);
// True when `text` is valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);
// The length of the valid UTF-8 sequence at the start of `text` (not empty), or 0.
std::size_t Utf8Length(std::string_view text);
// A stream text as UTF-8, each byte the character of the same number (U+0000 to U+00FF).
std::string Latin1ToUtf8(std::string_view bytes);

// The lines of a CR LF text, without their line ends.
std::vector<std::string_view> CrLfLines(std::string_view text);

// Splits CR LF text given in pieces into its lines, as CrLfLines does a whole text: a line
// starts, its bytes come in pieces, it ends.
class LineSplitter {
 public:
  struct Handler {
    std::function<void()> start;
    std::function<void(std::string_view)> bytes;
    std::function<void()> end;
  };
  explicit LineSplitter(Handler handler) : handler_(std::move(handler)) {}
  void Feed(std::string_view text);
  // The text has ended: a last line without its CR LF ends too.
  void Finish();

 private:
  void Content(std::string_view bytes);
  Handler handler_;
  bool open_ = false;
  bool pendingCr_ = false;
};

// Writes CR LF text (a listing, a block), given in pieces, to `out`: as it is when piped; on a
// terminal each line printable and ended with LF.
class FileText {
 public:
  explicit FileText(Writer& out);
  void Feed(std::string_view text);
  void Finish();

 private:
  Writer& out_;
  LineSplitter lines_;
};

// The line end of output that carries the plug-in's files: LF on a terminal, CR LF otherwise.
std::string_view FileLineEnd(const Writer& out);

}  // namespace tvx::render
