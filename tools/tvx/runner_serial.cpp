// The ordered runner where the C++ runtime has no threads: each task runs when it is added.
#include <exception>
#include <string>

#include "runner.h"

namespace tvx::tool {

struct OrderedRunner::State final : public TaskOutput {
  State(Output& out, Output& err, ProgressLine& progress)
      : out(out), err(err), progress(progress), isTerminal(out.terminal()) {}

  void Out(std::string_view text) override {
    progress.Erase();
    out << text;
  }
  void Err(std::string_view text) override {
    progress.Erase();
    err << text;
  }
  void Count(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) override {
    progress.Add(bytes, files, records);
    if (progress.Due()) progress.Draw();
  }
  bool terminal() const override { return isTerminal; }

  Output& out;
  Output& err;
  ProgressLine& progress;
  bool isTerminal;
};

OrderedRunner::OrderedRunner(unsigned, Output& out, Output& err, ProgressLine& progress)
    : state_(std::make_unique<State>(out, err, progress)) {}

OrderedRunner::~OrderedRunner() = default;

void OrderedRunner::Add(Task task) {
  try {
    task(*state_);
  } catch (const std::exception& e) {
    state_->Err(std::string("tvx: ") + e.what() + "\n");
  }
}

void OrderedRunner::Finish() {}

bool OrderedRunner::OutputFailed() {
  return !state_->out.error().empty();
}

unsigned OrderedRunner::Processors() {
  return 1;
}

}  // namespace tvx::tool
