// One updating line on standard error that tells how far a long scan has come: bytes, files,
// records and the rate. Shown only on a terminal, and only once the scan has run a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "output.h"

namespace tvx::cli {

class ProgressLine {
 public:
  // Shows nothing unless `shown` (standard error is a terminal and not told to be quiet).
  ProgressLine(Output& err, bool shown);

  // How far the scan has come; the line is drawn anew when it is due.
  void Update(std::uint64_t bytes, std::uint64_t files, std::uint64_t records);
  // Erases the line: before anything else is written to the terminal, and at the end.
  void Erase();

 private:
  using Clock = std::chrono::steady_clock;

  Output& err_;
  bool shown_;
  Clock::time_point start_;
  Clock::time_point due_;
  std::size_t drawn_ = 0;  // the length of the line on the terminal, 0 when there is none
};

}  // namespace tvx::cli
