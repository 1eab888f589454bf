#include "file_scan.h"

#include <algorithm>

#include "control_index.h"
#include "forms.h"
#include "registry.h"

namespace tvx::core {

namespace {

// The first bytes, in which a program's MZ and PE headers are looked for.
constexpr std::size_t kHead = 64 << 10;
// An input read at offsets, read once from start to end.
class InOrder final : public SequentialInput {
 public:
  explicit InOrder(InputSource& input) : input_(input) {}
  bool Next(std::span<std::uint8_t> into, Part* part, IoError*) override {
    *part = {};
    part->read = input_.ReadAt(offset_, into.data(), into.size());
    offset_ += part->read;
    return true;
  }

 private:
  InputSource& input_;
  std::uint64_t offset_ = 0;
};

// One file's scan: every record the finder hands over, picked, and handed on.
class FileScan {
 public:
  // `stopped`, asked between pieces on the reading thread, ends the file's scan where it is.
  FileScan(const ScanOptions& options, const Emit& emit, std::atomic<std::uint64_t>& bytesRead,
           const std::function<bool()>& stopped, Decoders& decoders,
           const std::function<void()>& tick = {})
      : options_(options),
        emit_(emit),
        bytesRead_(bytesRead),
        stopped_(stopped),
        decoders_(decoders),
        tick_(tick),
        placer_([this](Held&& held, const FormImage* form) { Placed(std::move(held), form); },
                [this](const FormImage& image, FormTrouble trouble) { Image(image, trouble); }) {}

  void Run(const Collection::File& file) {
    file_ = file.path;
    IoError error;
    std::unique_ptr<SequentialInput> sequential;
    if (file.path == "-" && options_.keepInputs) {
      // Standard input is copied, so that its records can be decoded at their positions.
      input_ = CopyStandardInput(&error);
      if (input_) sequential = std::make_unique<InOrder>(*input_);
    } else {
      sequential = file.path == "-" ? StandardInputStream() : OpenSequential(file.path, &error);
    }
    const bool read = sequential && Read(*sequential, file.named, &error);
    if (!stoppedHere_)
      Ended(read ? Event::Kind::kDone : Event::Kind::kUnreadable, std::move(error));
  }

  void Run(const std::string& name, std::shared_ptr<InputSource> input) {
    file_ = name;
    input_ = std::move(input);
    InOrder sequential(*input_);
    IoError error;
    Read(sequential, true, &error);  // reads of memory or a held file do not fail
    if (!stoppedHere_) Ended(Event::Kind::kDone, {});
  }

 private:
  // The file's last event: read to its end, or not.
  void Ended(Event::Kind kind, IoError error) {
    Event ended;
    ended.kind = kind;
    ended.file = file_;
    ended.bytes = bytes_;
    ended.others = others_;
    ended.error = std::move(error);
    emit_(std::move(ended));
  }

  bool Read(SequentialInput& input, bool named, IoError* error) {
    RecordFinder finder([this](const ControlRecord& record) { Found(record); },
                        [this](const FormHeader& header) { placer_.Image(header); });
    std::size_t filled = 0;
    bool headSeen = false;
    for (SequentialInput::Part part;;) {
      if (stopped_()) {
        stoppedHere_ = true;
        return false;
      }
      const std::span<std::uint8_t> space = finder.Space().first(RecordFinder::kPiece);
      if (!input.Next(space.subspan(filled), &part, error)) return false;
      filled += part.read;
      if (part.read > 0 && !headSeen && filled < kHead) continue;  // the head comes whole
      if (!headSeen) {
        headSeen = true;
        if (!IsWindowsProgram({space.data(), filled})) {
          Event note;
          note.kind = Event::Kind::kNotAProgram;
          note.file = file_;
          note.named = named;
          emit_(std::move(note));
        }
      }
      finder.Commit(filled);
      finder.Zeros(part.zeros);
      placer_.Passed(finder.looked());
      bytes_ += filled + part.zeros;
      bytesRead_ += filled + part.zeros;
      if (tick_) tick_();
      filled = 0;
      if (part.read == 0 && part.zeros == 0) break;
    }
    finder.Finish();
    placer_.Finish(finder.size());
    return !input.Changed(error);
  }

  // A record waiting for its form to be known; `other`: of a class not handed on, only counted.
  struct Held {
    Event event;
    bool other = false;
  };

  void Found(const ControlRecord& record) {
    if (!options_.names.empty() &&
        std::none_of(options_.names.begin(), options_.names.end(),
                     [&](const std::string& name) { return SameWord(name, record.name); })) {
      return;
    }
    const auto among = [&](const std::vector<Position>& places) {
      return std::find(places.begin(), places.end(), record.position) != places.end();
    };
    const bool nearby = !options_.positions.empty() && !among(options_.positions);
    if (nearby && !among(options_.nearby)) return;
    const DeliverableInfo* control = options_.classes.Find(record.className);
    Held held;
    held.other = control == nullptr && !options_.all;
    if (held.other && (nearby || options_.forms.empty())) {
      if (!nearby) ++others_;  // in no matter what form
      return;
    }
    Event& found = held.event;
    found.kind = nearby ? Event::Kind::kNearby : Event::Kind::kRecord;
    found.record.file = file_;
    found.record.position = record.position;
    found.record.name = record.name;
    found.record.className = record.className;
    found.record.control = control;
    if (options_.keepInputs) found.record.input = Input();
    // Without indexes the record's decode gives it, unless its file cannot be read again.
    if ((options_.indexes || found.record.input == nullptr) && control != nullptr && !held.other) {
      found.record.index = IndexOf(record, *control);
    }
    const std::uint64_t pair = record.start + 2 + record.name.size();
    placer_.Item(std::move(held), record.start, record.position - 1, pair);
  }

  // The record's Index, read from the bytes at hand when its section A ends among them: first
  // from its first few hundred bytes, decoded to their end (most sections A are a few bytes),
  // then from all the window holds, then from the file.
  std::optional<std::int64_t> IndexOf(const ControlRecord& record, const DeliverableInfo& control) {
    constexpr std::size_t kShort = 32;
    Decoder& decoder = decoders_.For(control);
    const std::uint64_t origin = record.position - 1;
    const bool whole = record.after.size() <= kShort;
    WindowInput head(record.after.first(whole ? record.after.size() : kShort), origin);
    IndexRead read = ReadIndex(decoder, head, record.position, false);
    if (read.sectionEnded || read.gaveUp || (whole && record.endsInput)) return read.index;
    if (!whole) {
      WindowInput window(record.after, origin);
      read = ReadIndex(decoder, window, record.position);
      if (read.gaveUp) return read.index;
    }
    if (!read.sectionEnded && !record.endsInput) {
      if (const std::shared_ptr<InputSource> input = Input())
        read = ReadIndex(decoder, *input, record.position);
    }
    return read.index;
  }

  // The file read at offsets, opened when first wanted.
  // Standard input, read once, is there only when it was copied.
  std::shared_ptr<InputSource> Input() {
    if (!input_ && !inputTried_ && file_ != "-") {
      inputTried_ = true;
      input_ = OpenProgram(file_).input;
    }
    return input_;
  }

  bool InFormsNamed(const FormImage* form) const {
    if (options_.forms.empty()) return true;
    return form != nullptr &&
           std::any_of(options_.forms.begin(), options_.forms.end(),
                       [&](const std::string& name) { return SameWord(name, form->name); });
  }

  void Placed(Held&& held, const FormImage* form) {
    if (!InFormsNamed(form)) return;
    if (held.other) {
      ++others_;
      return;
    }
    if (form != nullptr) held.event.record.form = *form;
    emit_(std::move(held.event));
  }

  void Image(const FormImage& image, FormTrouble trouble) {
    if (!InFormsNamed(&image)) return;
    Event e;
    e.kind = Event::Kind::kForm;
    e.form = {file_, image, trouble};
    emit_(std::move(e));
  }

  const ScanOptions& options_;
  const Emit& emit_;
  std::atomic<std::uint64_t>& bytesRead_;
  const std::function<bool()>& stopped_;
  Decoders& decoders_;  // one of each control for the thread, kept from file to file
  std::function<void()> tick_;
  bool stoppedHere_ = false;  // the scan was ended while this file was read
  std::string file_;
  std::shared_ptr<InputSource> input_;
  bool inputTried_ = false;
  std::uint64_t bytes_ = 0;
  std::uint64_t others_ = 0;
  FormPlacer<Held> placer_;
};
}  // namespace

void ScanFile(const FileScanContext& c, const Collection::File& file) {
  FileScan(c.options, c.emit, c.bytesRead, c.stopped, c.decoders, c.tick).Run(file);
}

void ScanOpenInput(const FileScanContext& c, const std::string& name,
                   std::shared_ptr<InputSource> input) {
  FileScan(c.options, c.emit, c.bytesRead, c.stopped, c.decoders, c.tick)
      .Run(name, std::move(input));
}

}  // namespace tvx::core
