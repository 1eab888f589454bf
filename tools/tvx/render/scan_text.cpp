#include "scan_text.h"

#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Columns(const std::string& position, const std::string& offset, const std::string& name,
                    const std::string& className, const std::string& control,
                    const std::string& form) {
  return Padded(position, 10) + "  " + Padded(offset, 10) + "  " + Padded(name, 16) + "  " +
         Padded(className, 24) + "  " + Padded(control, 18) + "  " + form;
}

std::string TerminalColumns(const std::string& position, const std::string& offset,
                            const std::string& control, const std::string& className,
                            const std::string& name) {
  std::string line = Padded(position, 10) + "  " + Padded(offset, 10) + "  " + Padded(control, 18) +
                     "  " + Padded(className, 24) + "  " + name;
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  return line;
}

std::string HexByte(std::uint8_t byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 15];
}

std::string ControlName(const core::FoundRecord& record) {
  return record.control != nullptr ? std::string(record.control->name) : "-";
}

}  // namespace

std::string ShownName(const core::FoundRecord& record) {
  return record.index ? record.name + "(" + std::to_string(*record.index) + ")" : record.name;
}

std::string FormWords(const std::optional<core::FormImage>& form) {
  if (!form) return "-";
  if (form->kind == core::kFormKind) return form->name;
  const std::string_view kind = core::FormKindName(form->kind);
  return form->name + " (" + (kind.empty() ? "kind " + HexByte(form->kind) : std::string(kind)) +
         ")";
}

std::string ImageWords(const core::FormImage& image) {
  return "at " + OffsetText(image.offset + 1) + ", " + Plural(image.size, "byte");
}

std::string ScanFormLine(const std::optional<core::FormImage>& form) {
  if (!form) return Printable("in no form");
  const std::string_view kind = core::FormKindName(form->kind);
  return Printable((kind.empty() ? "kind " + HexByte(form->kind) + " image" : std::string(kind)) +
                   " " + form->name + " " + ImageWords(*form));
}

std::string OutlineFormLine(const core::FormImage& image, core::FormTrouble trouble) {
  const std::string_view kind = core::FormKindName(image.kind);
  std::string line = "  " +
                     (kind.empty() ? "kind " + HexByte(image.kind) + " image" : std::string(kind)) +
                     " " + image.name + " " + ImageWords(image);
  if (trouble != core::FormTrouble::kNone) {
    line += ": no form, " + std::string(core::FormTroubleWords(trouble));
  }
  return Printable(line);
}

std::string OutlineNoFormLine() {
  return "  in no form";
}

std::string OutlineRecordLine(const core::FoundRecord& record) {
  return Printable("    " + Padded(ShownName(record), 18) + "  " + Padded(ControlName(record), 18) +
                   "  " + Padded(std::to_string(record.position), 10) + "  " +
                   OffsetText(record.position));
}

std::string ScanLine(const core::FoundRecord& record, bool several, bool utf8) {
  const std::string fields =
      Columns(std::to_string(record.position), OffsetText(record.position), ShownName(record),
              record.className, ControlName(record), FormWords(record.form));
  return (several ? PrintablePath(record.file, utf8) + ":" : std::string()) + Printable(fields);
}

std::string ScanHeader() {
  return TerminalColumns("position", "offset", "control", "class", "name");
}

std::string ScanFileLine(const std::string& file, bool utf8) {
  return file == "-" ? "(standard input)" : PrintablePath(file, utf8);
}

std::string ScanTerminalLine(const core::FoundRecord& record) {
  return Printable(TerminalColumns(std::to_string(record.position), OffsetText(record.position),
                                   ControlName(record), record.className, ShownName(record)));
}

std::string ScanSummary(const core::ScanTotals& totals, bool several, const std::string& path,
                        bool all, bool utf8) {
  std::string each;
  for (std::size_t i = 0; i < core::Controls().size(); ++i) {
    const std::uint64_t n = totals.perControl[i];
    if (n == 0) continue;
    each += (each.empty() ? ": " : ", ") + std::to_string(n) + " " +
            std::string(core::Controls()[i]->name);
  }
  std::string summary =
      (several ? Plural(totals.files, "file") + ", " + Amount(static_cast<double>(totals.bytes))
               : PrintablePath(path, utf8)) +
      ": " + Plural(totals.records, "record") + each;
  if (totals.others > 0) {
    summary +=
        "; " + std::to_string(totals.others) + " of other classes" + (all ? "" : ", not listed");
  }
  if (several && totals.notPrograms > 0) {
    summary += "; " + std::to_string(totals.notPrograms) + " not " +
               (totals.notPrograms == 1 ? "a program" : "programs") + ", scanned as raw bytes";
  }
  if (totals.unreadable > 0) summary += "; " + std::to_string(totals.unreadable) + " not read";
  return summary;
}

}  // namespace tvx::render
