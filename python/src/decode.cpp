// tvx.decode and tvx.explain: one control's stream decoded in this process, as `tvx decode` and
// `tvx explain --json` do, with the GIL released while the decode runs.
#include <optional>
#include <utility>
#include <vector>

#include "codes.h"
#include "controls.h"
#include "decode.h"
#include "explanation.h"
#include "module.h"
#include "picture_format.h"
#include "provenance.h"
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
  return py::make_tuple(std::string(render::StopCode(stop.ended)), StreamText(text),
                        Optional(stop.position),
                        stop.byte >= 0 ? py::object(py::int_(stop.byte)) : py::none());
}

py::tuple Decode(std::string_view control, const std::string& path, const py::object& data,
                 core::Position position, bool offsets) {
  const DeliverableInfo& info = ControlNamed(control);
  std::optional<HeldBuffer> held;
  if (!data.is_none()) held.emplace(data);
  core::DecodedText text;
  std::string stopText;
  WithInput(path, held ? &*held : nullptr, [&](InputSource& input) {
    text = core::DecodeWhole(ThreadDecoders().For(info), input, position, offsets);
    stopText = render::StopText(text.stop);
  });
  py::object picture = py::none();
  py::object format = py::none();
  if (text.picture) {
    format = py::str(std::string(core::PictureExtension(*text.picture)));
    picture = py::bytes(*text.picture);
    text.picture.reset();
  }
  return py::make_tuple(StreamLines(text.listing), StreamLines(text.block), picture, format,
                        StopTuple(text.stop, stopText));
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

// Every value, the listing lines each produced, the listing and the block.
class Rows final : public core::ExplainSink {
 public:
  Rows(const core::BlockLinks& links, std::uint64_t limit) : links_(links), limit_(limit) {}

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
    if (links_.linked && v.index < links_.lines.size()) row.blockLines = links_.lines[v.index];
    rows.push_back(std::move(row));
    return true;
  }

  bool ListingLine(const core::TextRef& line) override {
    if (!rows.empty() && !blockSeen_) rows.back().listingLines.push_back(lines_);
    ++lines_;
    line.Write([this](std::string_view bytes) { listing.append(bytes); });
    listing.append("\r\n");
    // The stop line is short: the control's own words.
    lastLine = line.HoldsLongText() ? std::string() : line.Bytes();
    return true;
  }

  void Block(const core::TextRef& block) override {
    blockSeen_ = true;
    this->block = std::string(block.raw());
  }

  std::vector<Row> rows;
  std::string listing;
  std::string lastLine;
  std::string block;  // long texts as their stand-ins

 private:
  const core::BlockLinks& links_;
  std::uint64_t limit_;
  std::size_t lines_ = 0;
  bool blockSeen_ = false;
};

struct Explanation {
  std::uint64_t fileSize = 0;
  std::vector<Row> rows;
  std::string listing;
  std::vector<std::size_t> listingBeforeReads;
  std::string block;
  core::BlockLinks links;
  core::Explained explained;
  std::string stopText;
  std::string stopped;
};

Explanation ExplainInput(Decoder& decoder, InputSource& input, core::Position position,
                         bool offsets, std::uint64_t limit) {
  Explanation x;
  const bool cut = limit != 0 && core::MoreValuesThan(decoder, input, position, offsets, limit);
  // A cut decode has no block to link.
  if (!cut) x.links = core::LinkBlock(decoder, input, position, offsets);
  x.fileSize = input.Size();
  core::StreamDecode decode(decoder, input, position, offsets);
  Rows rows(x.links, cut ? limit : 0);
  x.explained = core::Explain(decode, rows);
  x.rows = std::move(rows.rows);
  x.listing = std::move(rows.listing);
  x.listingBeforeReads = x.explained.listingBeforeReads;
  if (!x.explained.cut) x.block = decode.Text(rows.block).Bytes();
  x.stopText = render::StopText(x.explained.decode.stop);
  x.stopped = render::StoppedWords(x.explained, rows.lastLine);
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
    code = py::make_tuple(row.code->code, std::string(render::FramePartCode(row.code->section)),
                          std::string(render::CodeOutcomeCode(row.code->outcome)));
  }
  return py::make_tuple(row.position, row.size, row.consumed,
                        std::string(render::ReadKindCode(row.kind)), value, StreamText(row.what),
                        std::string(render::FramePartCode(row.part)), code,
                        Numbers(row.listingLines), Numbers(row.blockLines));
}

// (line, source, positions) for each block line.
py::list BlockTuples(const std::string& block, const core::BlockLinks& links) {
  const std::vector<std::string_view> lines = render::CrLfLines(block);
  py::list list(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool linked = links.linked && i < links.sources.size();
    py::list from;
    if (linked) {
      for (const std::size_t value : links.values[i])
        from.append(links.positions[value]);
    }
    list[i] = py::make_tuple(StreamText(lines[i]),
                             std::string(render::LineSourceCode(
                                 linked ? links.sources[i] : core::LineSource::kNotLinked)),
                             from);
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
                        Numbers(x.listingBeforeReads), BlockTuples(x.block, x.links),
                        e.cut ? py::object(py::none()) : StopTuple(e.decode.stop, x.stopText),
                        e.cut ? py::object(py::none()) : Optional(e.decode.pictureSize),
                        StreamText(x.stopped), e.next - e.start);
}

}  // namespace

void DefineDecode(py::module_& module) {
  module.def("decode", &Decode, py::arg("control"), py::arg("path"), py::arg("data"),
             py::arg("position"), py::arg("offsets"),
             "(listing, block, picture, picture format, stop) of a decode; the file at `path` "
             "or the buffer `data`.");
  module.def("explain", &Explain, py::arg("control"), py::arg("path"), py::arg("data"),
             py::arg("position"), py::arg("offsets"), py::arg("limit"),
             "(file size, cut, values, listing, listing before reads, block, stop, picture size, "
             "stopped, accounted) of an explained decode.");
}

}  // namespace tvx::python
