// tvx.decode and tvx.explain: one control's stream decoded in this process, as `tvx decode` and
// `tvx explain --json` do, with the GIL released while the decode runs.
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "names.h"
#include "controls.h"
#include "decode.h"
#include "explanation.h"
#include "module.h"
#include "picture_format.h"
#include "properties_json.h"
#include "record.h"
#include "text.h"
#include "words.h"

namespace tvx::python {

namespace {

// Each thread decodes with decoders of its own (Python threads may decode at the same time).
core::Decoders& ThreadDecoders() {
  thread_local core::Decoders decoders;
  return decoders;
}

// Runs `work` on the caller's memory (`held`) or on the file at `path`, with the GIL released;
// an OSError when the file cannot be opened.
template <typename Work>
void WithInput(const std::string& path, const HeldBuffer* held, Work&& work) {
  core::IoError error;
  {
    py::gil_scoped_release release;
    if (held != nullptr) {
      MemoryInput input(held->bytes());
      work(input);
    } else if (const core::OpenedInput opened = core::OpenProgram(path); opened.input) {
      work(*opened.input);
    } else {
      error = opened.error;
    }
  }
  if (error) RaiseOsError(error, path);
}

py::object Optional(std::optional<std::uint64_t> value) {
  return value ? py::object(py::int_(*value)) : py::none();
}

// (code, text, position, byte): how a decode ended, as the JSON's "stop".
py::tuple StopTuple(const core::StopInfo& stop, const std::string& text) {
  return py::make_tuple(std::string(core::StopCode(stop.ended)), StreamText(text),
                        Optional(stop.position),
                        stop.byte >= 0 ? py::object(py::int_(stop.byte)) : py::none());
}

// A decoded record's properties, made into their JSON text only when asked for: the record holds
// its texts whole (nothing was left in the file), so it needs the file no more.
class Properties {
 public:
  explicit Properties(core::DecodedRecord record) : record_(std::move(record)) {
    record_->input = nullptr;
  }
  explicit Properties(std::string text) : text_(std::move(text)) {}
  // {"picture", "properties", "property_details"}, as tvx's JSON has them.
  const std::string& Text() {
    if (record_) {
      text_ = render::RecordPropertiesText(*record_);
      record_.reset();
    }
    return text_;
  }

 private:
  std::optional<core::DecodedRecord> record_;
  std::string text_;
};

py::tuple Decode(std::string_view control, const std::string& path, const py::object& data,
                 core::Position position, bool offsets) {
  const DeliverableInfo& info = ControlNamed(control);
  std::optional<HeldBuffer> held;
  if (!data.is_none()) held.emplace(data);
  std::optional<core::DecodedRecord> record;
  std::string listing;
  std::string stopText;
  WithInput(path, held ? &*held : nullptr, [&](InputSource& input) {
    record = core::Decode(ThreadDecoders().For(info), input, position, offsets, true,
                          std::numeric_limits<std::size_t>::max());
    record->listing.Write([&](std::string_view piece) { listing.append(piece); });
    stopText = render::StopText(record->stop);
  });
  py::object picture = py::none();
  py::object format = py::none();
  if (record->picture) {
    format = py::str(record->picture->format);
    picture = py::bytes(record->picture->held);
  }
  py::list listingLines = StreamLines(listing);
  py::list blockLines = StreamLines(record->block);
  const core::StopInfo stop = record->stop;
  return py::make_tuple(std::move(listingLines), std::move(blockLines), picture, format,
                        StopTuple(stop, stopText), Properties(std::move(*record)));
}

// One value of an explanation, as `tvx explain --json` gives it.
struct Row {
  core::Position position = 0;
  std::uint64_t size = 0;
  std::uint64_t consumed = 0;
  ReadKind kind = ReadKind::kByte;
  std::optional<std::int64_t> number;
  std::optional<std::string> text;  // long texts whole
  std::string what;
  FramePart part = FramePart::kSectionA;
  std::optional<core::ExplainedCode> code;
  std::vector<std::size_t> listingLines;
  std::vector<std::size_t> blockLines;
};

// Every value and the listing lines each produced.
class Rows final : public core::ExplainSink {
 public:
  explicit Rows(std::uint64_t limit) : limit_(limit) {}

  bool Value(const core::ExplainedValue& v) override {
    if (limit_ != 0 && v.index >= limit_) return false;
    Row row;
    row.position = v.position;
    row.size = v.size;
    row.consumed = v.consumed;
    row.kind = v.kind;
    if (v.IsNumber()) {
      row.number = v.Number();
    } else if (v.IsText()) {
      row.text = v.Text().Bytes();
    }
    row.what = render::ValueWords(v);
    row.part = v.part;
    row.code = v.code;
    row.blockLines = v.blockLines;
    rows.push_back(std::move(row));
    return true;
  }

  bool ListingLine(const core::TextRef& line) override {
    if (!rows.empty()) rows.back().listingLines.push_back(lines_);
    ++lines_;
    line.Write([this](std::string_view bytes) { listing.append(bytes); });
    listing.append("\r\n");
    return true;
  }

  std::vector<Row> rows;
  std::string listing;

 private:
  std::uint64_t limit_;
  std::size_t lines_ = 0;
};

// A block line: its bytes, where it came from and the positions of its values.
struct LinkedLine {
  std::string text;
  core::LineLink link;
};

struct Explanation {
  std::uint64_t fileSize = 0;
  std::vector<Row> rows;
  std::string listing;
  std::vector<LinkedLine> block;
  core::Explained explained;
  std::string stopText;
  std::string stopped;
  std::string properties;  // the record's properties as JSON text, or empty when cut
};

Explanation ExplainInput(Decoder& decoder, InputSource& input, core::Position position,
                         bool offsets, std::uint64_t limit) {
  Explanation x;
  Rows rows(limit);
  const core::Explanation e = core::Explain(decoder, input, position, offsets, limit, rows);
  x.fileSize = input.Size();
  x.explained = e.e;
  x.rows = std::move(rows.rows);
  x.listing = std::move(rows.listing);
  if (e.record) {
    for (std::size_t l = 0; l < e.record->blockLines.size(); ++l) {
      x.block.push_back({e.record->Text(e.record->BlockLine(l)).Bytes(), e.links[l]});
    }
    x.properties = render::RecordPropertiesText(*e.record);
  }
  x.stopText = render::StopText(e.e.decode.stop);
  x.stopped = render::StoppedWords(e.e, e.lastLine);
  return x;
}

py::list Numbers(const std::vector<std::size_t>& numbers) {
  py::list list(numbers.size());
  for (std::size_t i = 0; i < numbers.size(); ++i)
    list[i] = py::int_(numbers[i]);
  return list;
}

py::tuple RowTuple(const Row& row) {
  py::object value = py::none();
  if (row.number) value = py::int_(*row.number);
  if (row.text) value = StreamText(*row.text);
  py::object code = py::none();
  if (row.code) {
    code = py::make_tuple(row.code->code, std::string(core::FramePartCode(row.code->section)),
                          std::string(core::CodeOutcomeCode(row.code->outcome)));
  }
  return py::make_tuple(row.position, row.size, row.consumed,
                        std::string(core::ReadKindCode(row.kind)), value, StreamText(row.what),
                        std::string(core::FramePartCode(row.part)), code,
                        Numbers(row.listingLines), Numbers(row.blockLines));
}

// (line, source, positions) for each block line.
py::list BlockTuples(const std::vector<LinkedLine>& block) {
  py::list list(block.size());
  for (std::size_t i = 0; i < block.size(); ++i) {
    py::list from;
    for (const core::Position p : block[i].link.from)
      from.append(p);
    list[i] = py::make_tuple(StreamText(block[i].text),
                             std::string(core::LineSourceCode(block[i].link.source)), from);
  }
  return list;
}

py::tuple Explain(std::string_view control, const std::string& path, const py::object& data,
                  core::Position position, bool offsets, std::uint64_t limit) {
  const DeliverableInfo& info = ControlNamed(control);
  std::optional<HeldBuffer> held;
  if (!data.is_none()) held.emplace(data);
  Explanation x;
  WithInput(path, held ? &*held : nullptr, [&](InputSource& input) {
    x = ExplainInput(ThreadDecoders().For(info), input, position, offsets, limit);
  });
  const core::Explained& e = x.explained;
  py::list rows(x.rows.size());
  for (std::size_t i = 0; i < x.rows.size(); ++i)
    rows[i] = RowTuple(x.rows[i]);
  return py::make_tuple(x.fileSize, e.cut, rows, StreamLines(x.listing),
                        Numbers(e.listingBeforeReads), BlockTuples(x.block),
                        e.cut ? py::object(py::none()) : StopTuple(e.decode.stop, x.stopText),
                        e.cut ? py::object(py::none()) : Optional(e.decode.pictureSize),
                        StreamText(x.stopped), e.next - e.start,
                        e.cut ? py::object(py::none()) : py::cast(Properties(x.properties)));
}

// Every vocabulary scripts match, by name: what the package's enums are checked against.
py::dict Vocabularies() {
  py::dict all;
  for (const core::Vocabulary& v : core::Vocabularies()) {
    py::list words;
    for (const std::string_view w : v.words)
      words.append(std::string(w));
    all[py::str(std::string(v.name))] = words;
  }
  return all;
}

}  // namespace

void DefineDecode(py::module_& module) {
  py::class_<Properties>(module, "_Properties")
      .def(py::init<std::string>(), py::arg("text"))
      .def("text", [](Properties& p) { return py::str(p.Text()); },
           "{\"picture\", \"properties\", \"property_details\"} as tvx's JSON gives them.");
  module.def("vocabularies", &Vocabularies,
             "Each enum's words, by the name the JSON schema gives it.");
  module.def("decode", &Decode, py::arg("control"), py::arg("path"), py::arg("data"),
             py::arg("position"), py::arg("offsets"),
             "(listing, block, picture, picture format, stop, properties) of a decode; the file "
             "at `path` or the buffer `data`.");
  module.def("explain", &Explain, py::arg("control"), py::arg("path"), py::arg("data"),
             py::arg("position"), py::arg("offsets"), py::arg("limit"),
             "(file size, cut, values, listing, listing before reads, block, stop, picture size, "
             "stopped, accounted, properties) of an explained decode.");
}

}  // namespace tvx::python
