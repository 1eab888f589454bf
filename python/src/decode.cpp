// tvx.decode and tvx.explain: one control's stream decoded in this process, as `tvx decode` and
// `tvx explain --json` do, with the GIL released while the decode runs.
#include <optional>
#include <utility>
#include <vector>

#include "controls.h"
#include "decode.h"
#include "explanation.h"
#include "held.h"
#include "module.h"
#include "names.h"
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

py::object Optional(std::optional<std::uint64_t> value) {
  return value ? py::object(py::int_(*value)) : py::none();
}

// (code, text, position, byte): how a decode ended, as the JSON's "stop".
py::tuple StopTuple(const core::StopInfo& stop, const std::string& text) {
  return py::make_tuple(std::string(core::StopCode(stop.ended)), StreamText(text),
                        Optional(stop.position),
                        stop.byte >= 0 ? py::object(py::int_(stop.byte)) : py::none());
}

}  // namespace

Held::Held(std::string text) : text_(std::move(text)) {}

Held::Held(std::shared_ptr<KeptInput> kept, core::DecodedRecord record)
    : kept_(std::move(kept)), record_(std::move(record)) {
  record_->input = nullptr;  // every read goes through an interruptible view of kept_
}

Held::Held(std::shared_ptr<KeptInput> kept, std::unique_ptr<core::Explanation> explanation)
    : kept_(std::move(kept)), explanation_(std::move(explanation)) {
  if (explanation_->record) record_ = std::move(*explanation_->record);
  explanation_->record.reset();
  if (record_) record_->input = nullptr;
}

const core::DecodedRecord* Held::Record() const {
  return record_ ? &*record_ : nullptr;
}

TextWriter Held::Listing() const {
  if (explanation_) {
    return [this](InputSource& input, const PieceWriter& write) {
      explanation_->listing.Write([&](std::string_view piece) {
        core::TextRef(piece, &explanation_->decode->texts(), &input).Write(write);
      });
    };
  }
  return [this](InputSource& input, const PieceWriter& write) {
    record_->listing.Write([&](std::string_view piece) {
      core::TextRef(piece, record_->texts.get(), &input).Write(write);
    });
  };
}

TextWriter Held::Block() const {
  return [this](InputSource& input, const PieceWriter& write) {
    if (record_) core::TextRef(record_->block, record_->texts.get(), &input).Write(write);
  };
}

TextWriter Held::BlockLine(std::size_t line) const {
  return [this, line](InputSource& input, const PieceWriter& write) {
    core::TextRef(record_->BlockLine(line), record_->texts.get(), &input).Write(write);
  };
}

std::pair<py::list, py::list> Held::Split() {
  const core::Spool& listing = explanation_ ? explanation_->listing : record_->listing;
  if (!HoldsLongTexts() && listing.InMemory()) {
    // Every text is held whole, in memory: the lines are made straight from it.
    std::string_view whole;
    listing.Write([&](std::string_view piece) { whole = piece; });
    py::list block;
    if (!explanation_) {
      block = StreamLines(record_->block);  // the block file's lines
    } else if (record_) {
      // An explanation's block: a line per line the decoder wrote, as its links are.
      block = py::list(record_->blockLines.size());
      for (std::size_t line = 0; line < record_->blockLines.size(); ++line)
        block[line] = StreamText(record_->BlockLine(line));
    }
    return {StreamLines(whole), std::move(block)};
  }
  Interruptibly(*kept_, [&](InputSource& input) {
    listing_ = HeldLines(input, Listing());
    if (!explanation_) {
      block_ = HeldLines(input, Block());
    } else if (record_) {
      block_ = HeldLines(input, record_->blockLines.size(),
                         [this](std::size_t line) { return BlockLine(line); });
    }
  });
  return {listing_.List(), block_.List()};
}

bool Held::HoldsLongTexts() const {
  return (record_ && record_->texts->size() != 0) ||
         (explanation_ && explanation_->decode->texts().size() != 0);
}

bool Held::NeedsInput() const {
  return HoldsLongTexts() || !listing_.AllShort() || !block_.AllShort();
}

bool Held::LinesLater() {
  if (explanation_ || HoldsLongTexts() || !record_->listing.InMemory()) return false;
  kept_.reset();
  linesLater_ = true;
  return true;
}

py::tuple Held::Lines() {
  if (!linesLater_) throw py::value_error("the lines were made with the decode");
  auto [listing, block] = Split();
  linesLater_ = false;
  Settle();
  if (!text_.empty()) record_.reset();  // the properties' text is made: nothing else needs it
  return py::make_tuple(std::move(listing), std::move(block));
}

void Held::Settle() {
  if (NeedsInput()) return;
  // Every text is held whole: nothing is read again, so the file need not stay open.
  kept_.reset();
  if (record_) record_->listing = core::Spool();
  if (explanation_) explanation_->listing = core::Spool();
}

const std::string& Held::Text() {
  if (record_ && text_.empty()) {
    if (kept_) {
      Interruptibly(*kept_, [&](InputSource& input) {
        record_->input = &input;
        text_ = render::RecordPropertiesText(*record_);
        record_->input = nullptr;
      });
    } else {
      text_ = render::RecordPropertiesText(*record_);
    }
    if (!kept_ && !linesLater_) record_.reset();  // nothing is read from it again
  }
  return text_;
}

py::str Held::Line(int which, std::size_t index) {
  if (!kept_) throw py::value_error("nothing was left in the file");
  std::string bytes;
  Interruptibly(*kept_, [&](InputSource& input) {
    if (which == 0) {
      bytes = listing_.Line(input, Listing(), index);
    } else if (explanation_) {
      bytes = block_.Line(
          input, [this](std::size_t line) { return BlockLine(line); }, index);
    } else {
      bytes = block_.Line(input, Block(), index);
    }
  });
  return StreamText(bytes);
}

py::object Held::Picture() {
  if (!record_ || !record_->picture) return py::none();
  std::string bytes;
  if (!kept_) return py::bytes(record_->picture->held);
  Interruptibly(*kept_, [&](InputSource& input) {
    bytes = core::TextRef(record_->picture->held, record_->texts.get(), &input).Bytes();
  });
  return py::bytes(bytes);
}

py::str Held::Value(std::size_t index) {
  std::string bytes;
  Interruptibly(*kept_, [&](InputSource& input) {
    bytes = core::TextRef(longValues_.at(index), &explanation_->decode->texts(), &input).Bytes();
  });
  return StreamText(bytes);
}

namespace {

// A picture left in the file is read when asked for: its size stands in its place.
py::object PictureObject(const core::DecodedRecord& record) {
  if (!record.picture) return py::none();
  if (core::TextRef(record.picture->held, record.texts.get(), nullptr).HoldsLongText())
    return py::int_(record.picture->size);
  return py::bytes(record.picture->held);
}

py::tuple Decode(std::string_view control, const std::string& path, const py::object& data,
                 core::Position position, bool offsets) {
  const DeliverableInfo& info = ControlNamed(control);
  auto kept = std::make_shared<KeptInput>(path, data);
  std::optional<core::DecodedRecord> record;
  Interruptibly(*kept, [&](InputSource& input) {
    record = core::Decode(ThreadDecoders().For(info), input, position, offsets, true);
    record->input = nullptr;
  });
  const core::StopInfo stop = record->stop;
  const std::string stopText = render::StopText(stop);
  py::object format = record->picture ? py::object(py::str(record->picture->format)) : py::none();
  py::object picture = PictureObject(*record);
  auto held = std::make_unique<Held>(std::move(kept), std::move(*record));
  py::object listing = py::none();  // None: made later, by properties.lines()
  py::object block = py::none();
  if (!held->LinesLater()) {
    auto [listingLines, blockLines] = held->Split();
    held->Settle();
    listing = std::move(listingLines);
    block = std::move(blockLines);
  }
  return py::make_tuple(std::move(listing), std::move(block), picture, format,
                        StopTuple(stop, stopText), py::cast(std::move(held)));
}

// One value of an explanation, as `tvx explain --json` gives it.
struct Row {
  core::Position position = 0;
  std::uint64_t size = 0;
  std::uint64_t consumed = 0;
  ReadKind kind = ReadKind::kByte;
  std::optional<std::int64_t> number;
  std::optional<std::string> text;  // as held: a long text as its stand-in
  bool longText = false;
  std::string what;
  FramePart part = FramePart::kSectionA;
  std::optional<core::ExplainedCode> code;
  std::vector<std::size_t> listingLines;
  std::vector<std::size_t> blockLines;
};

// Every value and the number of the listing lines each produced.
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
      const core::TextRef text = v.Text();
      row.longText = text.HoldsLongText();
      row.text = row.longText ? std::string(text.raw()) : text.Bytes();
    }
    row.what = render::ValueWords(v);
    row.part = v.part;
    row.code = v.code;
    row.blockLines = v.blockLines;
    rows.push_back(std::move(row));
    return true;
  }

  bool ListingLine(const core::TextRef& /*line*/) override {
    if (!rows.empty()) rows.back().listingLines.push_back(lines_);
    ++lines_;
    return true;
  }

  std::vector<Row> rows;

 private:
  std::uint64_t limit_;
  std::size_t lines_ = 0;
};

py::list Numbers(const std::vector<std::size_t>& numbers) {
  py::list list(numbers.size());
  for (std::size_t i = 0; i < numbers.size(); ++i)
    list[i] = py::int_(numbers[i]);
  return list;
}

// A value's tuple; a long text's value is the number Held::Value reads it by, its last member
// True.
py::tuple RowTuple(const Row& row, Held& held) {
  py::object value = py::none();
  if (row.number) value = py::int_(*row.number);
  if (row.text) {
    value = row.longText ? py::object(py::int_(held.LongValue(*row.text)))
                         : py::object(StreamText(*row.text));
  }
  py::object code = py::none();
  if (row.code) {
    code = py::make_tuple(row.code->code, std::string(core::FramePartCode(row.code->section)),
                          std::string(core::CodeOutcomeCode(row.code->outcome)));
  }
  return py::make_tuple(row.position, row.size, row.consumed,
                        std::string(core::ReadKindCode(row.kind)), value, StreamText(row.what),
                        std::string(core::FramePartCode(row.part)), code, Numbers(row.listingLines),
                        Numbers(row.blockLines), row.longText);
}

// (line, source, positions) for each block line; a long line's text None (Held::Line reads it).
py::list BlockTuples(const py::list& lines, const std::vector<core::LineLink>& links) {
  py::list list(links.size());
  for (std::size_t i = 0; i < links.size(); ++i) {
    py::list from;
    for (const core::Position p : links[i].from)
      from.append(p);
    const py::object line = i < lines.size() ? py::object(lines[i]) : py::object(py::none());
    list[i] = py::make_tuple(line, std::string(core::LineSourceCode(links[i].source)), from);
  }
  return list;
}

py::tuple Explain(std::string_view control, const std::string& path, const py::object& data,
                  core::Position position, bool offsets, std::uint64_t limit) {
  const DeliverableInfo& info = ControlNamed(control);
  auto kept = std::make_shared<KeptInput>(path, data);
  Rows rows(limit);
  auto x = std::make_unique<core::Explanation>();
  std::uint64_t fileSize = 0;
  std::string stopped;
  Interruptibly(*kept, [&](InputSource& input) {
    *x = core::Explain(ThreadDecoders().For(info), input, position, offsets, limit, rows);
    fileSize = input.Size();
    stopped = render::StoppedWords(x->e, x->lastLine);
  });
  const core::Explained e = x->e;
  const std::vector<core::LineLink> links = std::move(x->links);
  const std::string stopText = render::StopText(e.decode.stop);
  auto held = std::make_unique<Held>(std::move(kept), std::move(x));
  auto [listing, blockLines] = held->Split();
  held->Settle();
  py::list values(rows.rows.size());
  for (std::size_t i = 0; i < rows.rows.size(); ++i)
    values[i] = RowTuple(rows.rows[i], *held);
  // A block line is linked only where the decode ran to its end.
  const py::list block = BlockTuples(blockLines, e.cut ? decltype(links){} : links);
  const bool cut = e.cut;
  return py::make_tuple(fileSize, cut, values, std::move(listing), Numbers(e.listingBeforeReads),
                        block, cut ? py::object(py::none()) : StopTuple(e.decode.stop, stopText),
                        cut ? py::object(py::none()) : Optional(e.decode.pictureSize),
                        StreamText(stopped), e.next - e.start, py::cast(std::move(held)));
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
  py::class_<Held>(module, "_Properties")
      .def(py::init<std::string>(), py::arg("text"))
      .def(
          "text", [](Held& h) { return py::str(h.Text()); },
          "{\"picture\", \"properties\", \"property_details\"} as tvx's JSON gives them.")
      .def("line", &Held::Line, py::arg("which"), py::arg("index"),
           "Line `index` of the listing (0) or the block (1), read again from the file.")
      .def("picture", &Held::Picture, "The picture's bytes, read again from the file, or None.")
      .def("values", &Held::Values, py::arg("enumerated"), py::arg("picture"), py::arg("proxy"),
           "Each property's value by name, or None when only the JSON text is held.")
      .def("lines", &Held::Lines,
           "(listing, block) of a decode that returned None for them, made now.")
      .def("long_lines", &Held::LongLines,
           "True when a line was left in the file (None in the lines).")
      .def("value", &Held::Value, py::arg("index"),
           "A long text of an explanation's values, read again from the file.");
  module.def("vocabularies", &Vocabularies,
             "Each enum's words, by the name the JSON schema gives it.");
  module.def("decode", &Decode, py::arg("control"), py::arg("path"), py::arg("data"),
             py::arg("position"), py::arg("offsets"),
             "(listing, block, picture, picture format, stop, properties) of a decode; the file "
             "at `path` or the buffer `data`. Listing and block are None when every text is held "
             "in memory: properties.lines() makes them when asked for.");
  module.def("explain", &Explain, py::arg("control"), py::arg("path"), py::arg("data"),
             py::arg("position"), py::arg("offsets"), py::arg("limit"),
             "(file size, cut, values, listing, listing before reads, block, stop, picture size, "
             "stopped, accounted, properties) of an explained decode.");
}

}  // namespace tvx::python
