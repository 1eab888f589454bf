#include "explain.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string_view>

#include "common.h"
#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx::tool {

void DecodeRecorder::OnRead(double position, std::uint64_t count, std::string_view reader,
                            std::string_view value) {
  events_.push_back(
      {DecodeEvent::Kind::kRead, position, count, std::string(reader), std::string(value)});
}

void DecodeRecorder::OnMark(double position, std::string_view mark) {
  events_.push_back({DecodeEvent::Kind::kMark, position, 0, std::string(mark), {}});
}

void DecodeRecorder::OnListingLine(std::string_view line) {
  events_.push_back({DecodeEvent::Kind::kLine, 0, 0, {}, std::string(line)});
}

namespace {

using Kind = DecodeEvent::Kind;

constexpr std::size_t kBytesPerRow = 8;
constexpr int kPositionWidth = 14;
constexpr int kBytesWidth = static_cast<int>(kBytesPerRow * 3 - 1);

enum class Section { kBefore, kA, kControlBlock, kB };

struct CodeName {
  int code;
  std::string_view name;
};

// The extender codes and the property each stands for, by section.
constexpr CodeName kSectionACodes[] = {
    {1, "Index"},
    {3, "Left, Top, Width, Height"},
    {7, "Visible"},
    {9, "DragMode"},
    {10, "DragIcon"},
    {11, "Tag"},
    {14, "TabStop"},
    {15, "TabIndex"},
    {41, "DataFormat"},
    {42, "DataMember"},
    {45, "end of section A"},
};
constexpr CodeName kSectionBCodes[] = {
    {50, "HelpContextID"},
    {57, "Left"},
    {58, "Top"},
    {59, "Align"},
    {60, "Negotiate"},
    {66, "DataField"},
    {67, "DataSource"},
    {68, "record passed over"},
    {70, "WhatsThisHelpID"},
    {72, "CausesValidation"},
    {74, "ToolTipText"},
    {255, "end of section B and of the stream"},
};

std::string_view NameOf(Section section, int code) {
  const std::span<const CodeName> names = section == Section::kA
                                              ? std::span<const CodeName>(kSectionACodes)
                                              : std::span<const CodeName>(kSectionBCodes);
  for (const CodeName& entry : names) {
    if (entry.code == code) return entry.name;
  }
  return {};
}

std::size_t NominalSize(std::string_view reader) {
  if (reader == "byte") return 1;
  if (reader == "word") return 2;
  if (reader == "long") return 4;
  return 0;
}

bool IsText(std::string_view reader) {
  return reader.find("text") != std::string_view::npos;
}

std::string Pad(std::string text, int width, bool right) {
  if (static_cast<int>(text.size()) >= width) return text;
  const std::string blanks(static_cast<std::size_t>(width) - text.size(), ' ');
  return right ? blanks + text : text + blanks;
}

class Writer {
 public:
  Writer(const StreamView& stream, std::ostream& out) : stream_(stream), out_(out) {}

  void Row(const std::string& position, const std::string& bytes, const std::string& what) {
    std::string line = Pad(position, kPositionWidth, true) + " | " + Pad(bytes, kBytesWidth, false);
    if (!what.empty()) line += " | " + what;
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    out_ << line << '\n';
  }

  void Note(const std::string& text) { Row("", "", text); }

  // The rows of one read: its bytes, kBytesPerRow to a row, each row with its own position.
  void Read(const DecodeEvent& read, const std::string& what) {
    if (read.count == 0) {
      Row(PositionText(read.position), "(past the end)", what);
      return;
    }
    // The file is read again here, a block of rows at a time.
    constexpr std::size_t kBlock = kBytesPerRow * 512;
    std::uint8_t block[kBlock];
    const auto first = static_cast<std::uint64_t>(read.position - 1);
    for (std::uint64_t from = 0; from < read.count; from += kBlock) {
      const std::size_t got = stream_.input->ReadAt(
          first + from, block,
          static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, read.count - from)));
      if (got == 0) {
        Note("!! the file changed while it was shown: it ends before position " +
             PositionText(read.position + static_cast<double>(from)));
        return;
      }
      for (std::size_t row = 0; row < got; row += kBytesPerRow) {
        std::string hex;
        for (std::size_t i = row; i < std::min(got, row + kBytesPerRow); ++i) {
          char byte[4];
          std::snprintf(byte, sizeof byte, "%02X", unsigned{block[i]});
          if (i > row) hex += ' ';
          hex += byte;
        }
        const std::uint64_t done = from + row;
        Row(PositionText(read.position + static_cast<double>(done)), hex, done == 0 ? what : "");
      }
    }
  }

  void Heading(const std::string& text) { out_ << "-- " << text << " --\n"; }

 private:
  const StreamView& stream_;
  std::ostream& out_;
};

// True when nothing was read between the code at `at` and the next code or the end: a code
// that the deliverable does not know consumes its code byte only.
bool PassedOver(const std::vector<DecodeEvent>& events, std::size_t at) {
  for (std::size_t i = at + 1; i < events.size(); ++i) {
    if (events[i].kind == Kind::kRead) return false;
    if (events[i].kind == Kind::kMark) return true;
  }
  return true;
}

std::string Describe(const DecodeEvent& read) {
  std::string what = read.what;
  if (read.what == "picture bytes") {
    what += ": " + read.text + " bytes of the picture file";
  } else if (IsText(read.what)) {
    what += " \"" + Printable(read.text) + "\"";
  } else if (!read.text.empty()) {
    what += " " + read.text;
  }
  const std::size_t nominal = NominalSize(read.what);
  if (read.count == 0) {
    what += " (past the end of the file)";
  } else if (read.count < nominal) {
    what += " (the file ends inside it; the missing bytes count as 0)";
  }
  return what;
}

}  // namespace

void WriteExplanation(const std::vector<DecodeEvent>& events, const StreamView& stream,
                      std::ostream& out) {
  Writer w(stream, out);
  const double base = stream.start;
  const double fileEnd = static_cast<double>(stream.input->Size()) + 1;  // first position past it
  w.Row("position", "bytes", "read as / => listing line");

  Section section = Section::kBefore;
  bool codeNext = false;
  double next = base;  // the next file position to account for
  int lastCode = -1;
  Section lastCodeSection = Section::kBefore;
  bool lastCodePassedOver = false;
  std::size_t lastRead = events.size();
  std::string lastLine;
  bool lineAfterLastRead = false;

  for (std::size_t i = 0; i < events.size(); ++i) {
    const DecodeEvent& e = events[i];
    switch (e.kind) {
      case Kind::kMark:
        if (e.what == "code") {
          codeNext = true;
        } else if (e.what == "section A") {
          section = Section::kA;
          w.Heading("section A from " + PositionText(e.position) +
                    ": extender codes, up to code 45");
        } else if (e.what == "section B") {
          section = Section::kB;
          w.Heading("section B from " + PositionText(e.position) +
                    ": extender codes, up to code 255");
        }
        break;
      case Kind::kLine:
        w.Note("=> " + Printable(e.text));
        lastLine = e.text;
        lineAfterLastRead = true;
        break;
      case Kind::kRead: {
        if (e.count > 0 && e.position != next) {
          // Cannot happen with the framework's reader, which only moves forward; shown so
          // that a broken view never passes for a complete one.
          w.Note(e.position > next ? "!! bytes " + PositionText(next) + " to " +
                                         PositionText(e.position - 1) + " were not read"
                                   : "!! bytes read twice from " + PositionText(e.position));
        }
        if (e.count > 0) next = e.position + static_cast<double>(e.count);
        std::string what;
        if (codeNext) {
          const int code = static_cast<int>(e.text.empty() ? 0 : std::stoi(e.text));
          what = "code " + e.text;
          const std::string_view name = NameOf(section, code);
          lastCodePassedOver = PassedOver(events, i);
          if (lastCodePassedOver && !(section == Section::kA && code == 45) &&
              !(section == Section::kB && code == 255)) {
            what += ": not known to this control";
            if (section == Section::kA) what += ", passed over";
          } else if (!name.empty()) {
            what += ": " + std::string(name);
          }
          if (e.count == 0) what += " (past the end of the file)";
          lastCode = code;
          lastCodeSection = section;
        } else {
          what = Describe(e);
          lastCode = -1;
        }
        w.Read(e, what);
        codeNext = false;
        lastRead = i;
        lineAfterLastRead = false;
        if (section == Section::kA && lastCode == 45) {
          section = Section::kControlBlock;
          w.Heading("control block from " + PositionText(e.position + 1) +
                    ": the control's own record, read by its decoder");
        }
        break;
      }
    }
  }

  // Where and why the decode stopped.
  std::string why;
  if (lineAfterLastRead && lastLine == kUnexpectedEnd) {
    why = std::string(kUnexpectedEnd) + ": the next code byte would lie past the end of the file";
  } else if (lastCode == 255 && lastCodeSection == Section::kB && !lineAfterLastRead) {
    why = "end code 255";
  } else if (lastCode >= 0 && lastCodeSection == Section::kB && lastCodePassedOver &&
             lineAfterLastRead) {
    why = "stop line \"" + Printable(lastLine) + "\" for code " + std::to_string(lastCode) +
          ", which this control does not know in section B";
  } else {
    why = "the decoder read nothing more";
  }
  std::string where;
  if (lastRead == events.size()) {
    where = "before reading anything";
  } else if (next > base) {
    where = "after position " + PositionText(next - 1);
  } else {
    where = "without reading a byte of the file";
  }
  out << "== stopped " << where << ": " << why << " ==\n";
  const double accounted = next - base;
  out << "== " << NumberText(accounted) << " bytes accounted for";
  if (accounted > 0) out << ", " << PositionText(base) << " to " << PositionText(next - 1);
  if (next >= fileEnd || base >= fileEnd) {
    out << "; the file ends after position " << PositionText(fileEnd - 1);
  }
  out << " ==\n";
}

}  // namespace tvx::tool
