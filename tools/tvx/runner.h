// Tasks run on several threads whose output reaches standard output and standard error in the
// order the tasks were added, exactly as if they had run one after the other. What a task writes
// while an earlier task is still running is held back, up to a bound; a task that reaches it
// waits for its turn. So memory stays bounded, whatever the tasks write.
//
// Threads where the C++ runtime has them; the Windows build's runtime has none (it needs nothing
// newer than Windows XP), and there the tasks run one at a time on the calling thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "cli.h"
#include "progress.h"

namespace tvx::tool {

// What a task writes, and the work it tells the progress line of.
class TaskOutput {
 public:
  virtual ~TaskOutput() = default;
  virtual void Out(std::string_view text) = 0;
  virtual void Err(std::string_view text) = 0;
  virtual void Count(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) = 0;
  // True when standard output is a terminal.
  virtual bool terminal() const = 0;
};

class OrderedRunner {
 public:
  using Task = std::function<void(TaskOutput&)>;

  // Up to `jobs` tasks at a time (1 or more).
  OrderedRunner(unsigned jobs, Output& out, Output& err, ProgressLine& progress);
  OrderedRunner(const OrderedRunner&) = delete;
  OrderedRunner& operator=(const OrderedRunner&) = delete;
  ~OrderedRunner();  // Finish()

  // Adds the next task; waits while too many tasks are ahead of the one whose output is written.
  void Add(Task task);
  // Waits for every task, and writes all they wrote.
  void Finish();
  // True once a write to standard output failed (a closed pipe, a full disk): no use going on.
  bool OutputFailed();

  // The processors of this machine (1 where the tasks run one at a time).
  static unsigned Processors();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tvx::tool
