// One updating line on standard error that tells how far a long scan has come: bytes, files,
// records and the rate. Shown only on a terminal, and only once the scan has run about a second.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "cli.h"

namespace tvx::tool {

class ProgressLine {
 public:
  // Shows nothing unless `shown` (standard error is a terminal and not told to be quiet).
  ProgressLine(Output& err, bool shown);

  // Counts more work done; any thread may.
  void Add(std::uint64_t bytes, std::uint64_t files, std::uint64_t records);
  // True when the line is to be drawn again; any thread may ask.
  bool Due() const;
  // Draws the line anew, and erases it; whoever writes to the terminal calls these one at a
  // time: Erase before writing anything else.
  void Draw();
  void Erase();

  // "12.3 MB": a count of bytes for people, in decimal units.
  static std::string Amount(double bytes);

 private:
  using Clock = std::chrono::steady_clock;

  Output& err_;
  bool shown_;
  Clock::time_point start_;
  std::atomic<std::int64_t> due_;  // when to draw next, in Clock ticks since start_
  std::atomic<std::uint64_t> bytes_{0};
  std::atomic<std::uint64_t> files_{0};
  std::atomic<std::uint64_t> records_{0};
  std::size_t drawn_ = 0;  // the length of the line on the terminal, 0 when there is none
};

}  // namespace tvx::tool
