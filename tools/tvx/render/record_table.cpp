#include "record_table.h"

#include <algorithm>

#include "json.h"
#include "names.h"
#include "text.h"
#include "words.h"

namespace tvx::render {

namespace {

// The rows that set the aligned columns' widths; later rows keep them.
constexpr std::size_t kAlignedRows = 1000;
// The most characters of a text an aligned cell shows.
constexpr std::size_t kCellWidth = 60;

// A cell: its text, or the long text it shows (written from the file).
struct Cell {
  std::string text;
  std::optional<core::TextRef> longText;
  std::string held;  // the long text as held (the view of it may not last)
};

// A CSV field: quoted where it must be, inner quotes doubled.
void WriteCsvField(Writer& out, const Cell& cell) {
  if (cell.longText) {
    out << "\"";
    cell.longText->Of(cell.held).Write([&](std::string_view bytes) {
      std::string piece = Latin1ToUtf8(bytes);
      for (std::size_t at = 0; (at = piece.find('"', at)) != std::string::npos; at += 2)
        piece.insert(at, 1, '"');
      out << piece;
    });
    out << "\"";
    return;
  }
  if (cell.text.find_first_of(",\"\r\n") == std::string::npos) {
    out << cell.text;
    return;
  }
  std::string quoted = "\"";
  for (const char c : cell.text) {
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  out << quoted << "\"";
}

// Characters, not bytes: the width of UTF-8 text as a terminal shows it.
std::size_t Width(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

struct RecordTable::State {
  Writer& out;
  std::vector<core::Field> fields;
  TableFormat format;
  bool utf8;
  std::vector<std::vector<Cell>> held;  // rows waiting for the widths
  std::vector<std::size_t> widths;
  bool aligned = false;

  // A text from the stream as the format writes it.
  std::string StreamText(std::string_view bytes) const {
    if (format == TableFormat::kCsv) return Latin1ToUtf8(bytes);
    std::string shown = Printable(bytes);
    if (Width(shown) > kCellWidth) shown = shown.substr(0, kCellWidth - 3) + "...";
    return shown;
  }

  Cell PropertyCell(const core::DecodedRecord& record, const std::string& path) const {
    Cell cell;
    const core::Property* p = record.Find(path);
    if (p == nullptr) return cell;
    if (p->def->type == PropertyType::kPicture) {
      if (!p->bytes.empty() && record.picture) cell.text = record.PictureDigest();
      return cell;
    }
    if (const auto* n = std::get_if<std::int64_t>(&p->value)) {
      cell.text = std::to_string(*n);
      std::optional<std::string_view> meaning = core::Meaning(*p);
      if (const std::optional<core::Colour> colour = core::ColourOf(*p); colour) {
        if (!colour->name.empty()) meaning = colour->name;
      }
      if (meaning && format == TableFormat::kAligned) cell.text += " " + std::string(*meaning);
    } else if (const bool* b = std::get_if<bool>(&p->value)) {
      cell.text = *b ? "True" : "False";
    } else if (const double* d = std::get_if<double>(&p->value)) {
      cell.text = NumberText(*d);
    } else if (const std::string* s = std::get_if<std::string>(&p->value)) {
      const core::TextRef text = record.Text(*s);
      if (text.HoldsLongText() && format == TableFormat::kCsv) {
        cell.held = *s;
        cell.longText = text;
      } else {
        cell.text = StreamText(text.HoldsLongText() ? text.Head(kCellWidth) : *s);
      }
    }
    return cell;
  }

  Cell FieldCell(const core::Field& field, const core::FoundRecord& found,
                 const core::DecodedRecord* record) const {
    Cell cell;
    const bool csv = format == TableFormat::kCsv;
    switch (field.kind) {
      case core::Field::Kind::kFile:
        cell.text = csv ? Utf8Path(found.file) : PrintablePath(found.file, utf8);
        break;
      case core::Field::Kind::kPosition:
        cell.text = std::to_string(found.position);
        break;
      case core::Field::Kind::kOffset:
        cell.text = csv ? std::to_string(found.position - 1) : OffsetText(found.position);
        break;
      case core::Field::Kind::kName:
        cell.text = StreamText(found.name);
        break;
      case core::Field::Kind::kClass:
        cell.text = StreamText(found.className);
        break;
      case core::Field::Kind::kControl:
        cell.text = found.control != nullptr ? std::string(found.control->name) : "";
        break;
      case core::Field::Kind::kForm:
        if (found.form) cell.text = StreamText(found.form->name);
        break;
      case core::Field::Kind::kIndex:
        if (found.index) cell.text = std::to_string(*found.index);
        break;
      case core::Field::Kind::kStop:
        if (record != nullptr) cell.text = core::StopCode(record->stop.ended);
        break;
      case core::Field::Kind::kProperty:
        if (record != nullptr) cell = PropertyCell(*record, field.path);
        break;
    }
    return cell;
  }

  void WriteRow(const std::vector<Cell>& row) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (format == TableFormat::kCsv) {
        if (i > 0) out << ",";
        WriteCsvField(out, row[i]);
        continue;
      }
      if (i > 0) out << "  ";
      out << row[i].text;
      if (i + 1 < row.size()) {
        out << std::string(widths[i] - std::min(widths[i], Width(row[i].text)), ' ');
      }
    }
    out << (format == TableFormat::kCsv ? "\r\n" : "\n");
  }

  // The held rows, under the header, once the widths are known.
  void Align() {
    if (aligned) return;
    aligned = true;
    for (const std::vector<Cell>& row : held) {
      for (std::size_t i = 0; i < row.size(); ++i)
        widths[i] = std::max(widths[i], Width(row[i].text));
    }
    std::vector<Cell> header;
    for (const core::Field& f : fields)
      header.push_back({f.heading, std::nullopt, {}});
    WriteRow(header);
    for (const std::vector<Cell>& row : held)
      WriteRow(row);
    held.clear();
  }
};

RecordTable::RecordTable(Writer& out, std::vector<core::Field> fields, TableFormat format,
                         bool utf8)
    : state_(std::make_unique<State>(State{out, std::move(fields), format, utf8, {}, {}})) {
  State& s = *state_;
  for (const core::Field& f : s.fields)
    s.widths.push_back(Width(f.heading));
  if (format == TableFormat::kCsv) s.Align();  // the header at once: no widths to wait for
}

RecordTable::~RecordTable() = default;

void RecordTable::Add(const core::FoundRecord& found, const core::DecodedRecord* decoded) {
  State& s = *state_;
  std::vector<Cell> row;
  for (const core::Field& f : s.fields)
    row.push_back(s.FieldCell(f, found, decoded));
  if (s.aligned) {
    s.WriteRow(row);
    return;
  }
  s.held.push_back(std::move(row));
  if (s.held.size() >= kAlignedRows) s.Align();
}

void RecordTable::Finish() {
  state_->Align();
}

}  // namespace tvx::render
