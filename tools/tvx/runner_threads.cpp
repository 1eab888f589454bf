// The ordered runner on threads of the C++ runtime.
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "runner.h"

namespace tvx::tool {

namespace {

// What all the tasks in flight may hold back at most, together.
constexpr std::size_t kHeldBack = std::size_t{4} << 20;

}  // namespace

struct OrderedRunner::State {
  State(unsigned jobs, Output& out, Output& err, ProgressLine& progress)
      : out(out),
        err(err),
        progress(progress),
        terminal(out.terminal()),
        window(4 * std::size_t{jobs}),
        limit(std::max<std::size_t>(kHeldBack / window, 16 << 10)) {}

  // The output of a task, held back while an earlier task runs.
  struct Slot {
    std::vector<std::pair<bool, std::string>> pieces;  // to standard error?, text
    std::size_t bytes = 0;
    bool done = false;
  };

  class SlotOutput final : public TaskOutput {
   public:
    SlotOutput(State& state, std::uint64_t index) : state_(state), index_(index) {}
    void Out(std::string_view text) override { state_.Write(index_, false, text); }
    void Err(std::string_view text) override { state_.Write(index_, true, text); }
    void Count(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) override {
      state_.progress.Add(bytes, files, records);
      if (!state_.progress.Due()) return;
      const std::lock_guard lock(state_.mutex);
      if (state_.progress.Due()) state_.progress.Draw();
    }
    bool terminal() const override { return state_.terminal; }

   private:
    State& state_;
    std::uint64_t index_;
  };

  void Emit(bool toErr, std::string_view text) {
    progress.Erase();
    (toErr ? err : out) << text;
  }

  void Flush(Slot& slot) {
    for (const auto& [toErr, text] : slot.pieces)
      Emit(toErr, text);
    slot.pieces.clear();
    slot.bytes = 0;
  }

  void Write(std::uint64_t index, bool toErr, std::string_view text) {
    std::unique_lock lock(mutex);
    Slot& slot = slots[index - head];
    if (index == head) {
      Flush(slot);
      Emit(toErr, text);
      return;
    }
    if (!slot.pieces.empty() && slot.pieces.back().first == toErr) {
      slot.pieces.back().second.append(text);
    } else {
      slot.pieces.emplace_back(toErr, std::string(text));
    }
    slot.bytes += text.size();
    if (slot.bytes <= limit) return;
    changed.wait(lock, [&] { return index == head; });
    Flush(slots.front());
  }

  void Done(std::uint64_t index) {
    const std::lock_guard lock(mutex);
    slots[index - head].done = true;
    if (index != head) return;
    while (!slots.empty() && slots.front().done) {
      Flush(slots.front());
      slots.pop_front();
      ++head;
    }
    changed.notify_all();
  }

  void Work() {
    for (;;) {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return closing || !queue.empty(); });
      if (queue.empty()) return;
      auto [index, task] = std::move(queue.front());
      queue.pop_front();
      lock.unlock();
      SlotOutput output(*this, index);
      try {
        task(output);
      } catch (const std::exception& e) {
        output.Err(std::string("tvx: ") + e.what() + "\n");
      }
      Done(index);
    }
  }

  Output& out;
  Output& err;
  ProgressLine& progress;
  const bool terminal;
  const std::size_t window;  // tasks added and not yet written out, at most
  const std::size_t limit;   // bytes a task may hold back

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Slot> slots;                            // of the tasks from `head` on
  std::uint64_t head = 0;                            // the task whose output is written as it comes
  std::uint64_t added = 0;                           // tasks added
  std::deque<std::pair<std::uint64_t, Task>> queue;  // tasks not yet started
  bool closing = false;
  std::vector<std::thread> workers;
};

OrderedRunner::OrderedRunner(unsigned jobs, Output& out, Output& err, ProgressLine& progress)
    : state_(std::make_unique<State>(std::max(jobs, 1u), out, err, progress)) {
  for (unsigned i = 0; i < std::max(jobs, 1u); ++i)
    state_->workers.emplace_back([state = state_.get()] { state->Work(); });
}

OrderedRunner::~OrderedRunner() {
  Finish();
}

void OrderedRunner::Add(Task task) {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return state_->added - state_->head < state_->window; });
  state_->slots.emplace_back();
  state_->queue.emplace_back(state_->added++, std::move(task));
  state_->changed.notify_all();
}

void OrderedRunner::Finish() {
  {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->head == state_->added; });
    state_->closing = true;
    state_->changed.notify_all();
  }
  for (std::thread& worker : state_->workers)
    worker.join();
  state_->workers.clear();
}

bool OrderedRunner::OutputFailed() {
  const std::lock_guard lock(state_->mutex);
  return !state_->out.error().empty();
}

unsigned OrderedRunner::Processors() {
  return std::max(std::thread::hardware_concurrency(), 1u);
}

}  // namespace tvx::tool
