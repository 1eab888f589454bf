// tvx outline: each program's forms, and the controls each form's image holds.
#include "commands.h"
#include "progress.h"
#include "scan_text.h"
#include "support.h"
#include "terminal.h"
#include "text.h"
#include "words.h"

namespace tvx::cli {

namespace {

class OutlineOutput final : public core::ScanSink {
 public:
  explicit OutlineOutput(Io& io) : io_(io), progress_(io.err, !io.quiet && IsTerminal(stderr)) {}

  void Form(const core::FoundForm& form) override {
    progress_.Erase();
    File(form.file);
    io_.out << render::OutlineFormLine(form.image, form.trouble) << "\n";
    inNoForm_ = false;
    if (form.trouble != core::FormTrouble::kNone) ++lying;
  }

  void Record(const core::FoundRecord& record) override {
    progress_.Erase();
    File(record.file);
    if (!record.form && !inNoForm_) io_.out << render::OutlineNoFormLine() << "\n";
    inNoForm_ = !record.form;
    io_.out << render::OutlineRecordLine(record) << "\n";
  }

  void Unreadable(const std::string& file, const core::IoError& error) override {
    progress_.Erase();
    io_.err << "tvx outline: cannot read " << FileWords(file, io_) << ": " << error.reason << "\n";
  }

  bool Stopped() override { return io_.out.Failed(); }

  void Progress(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) override {
    progress_.Update(bytes, files, records);
  }

  void Done() { progress_.Erase(); }

  std::uint64_t lying = 0;  // images that give no form

 private:
  // The file's line before the first of its lines.
  void File(const std::string& file) {
    if (file == file_ && started_) return;
    io_.out << render::ScanFileLine(file, io_.utf8) << "\n";
    file_ = file;
    started_ = true;
    inNoForm_ = false;
  }

  Io& io_;
  ProgressLine progress_;
  std::string file_;
  bool started_ = false;
  bool inNoForm_ = false;
};

}  // namespace

int OutlineCommand(const Parsed& args, Io& io) {
  if (args.operands.empty()) {
    return UsageError(io.err, "outline",
                      "a PATH is missing (a file, a folder, or - for standard input)");
  }
  core::ScanOptions options = SelectionOf(args);
  if (io.checkOnly) return kOk;
  OutlineOutput output(io);
  const core::ScanTotals totals = core::Scan(args.operands, options, output);
  output.Done();
  if (!io.out.Finish()) {
    io.err << "tvx outline: cannot write to standard output: " << io.out.error() << "\n";
    return kIoError;
  }
  if (!io.quiet && totals.files > 0) {
    io.err << "tvx outline: " << render::Plural(totals.files, "file") << ": "
           << render::Plural(totals.forms, "form") << ", "
           << render::Plural(totals.records, "record");
    if (output.lying > 0) io.err << "; " << std::to_string(output.lying) << " giving no form";
    io.err << "\n";
  }
  return totals.unreadable > 0 ? kIoError : kOk;
}

}  // namespace tvx::cli
