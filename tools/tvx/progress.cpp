#include "progress.h"

#include <cstdio>

namespace tvx::tool {

namespace {

constexpr std::chrono::milliseconds kFirst(1000);  // no line for a scan shorter than this
constexpr std::chrono::milliseconds kEvery(250);

}  // namespace

ProgressLine::ProgressLine(Output& err, bool shown)
    : err_(err),
      shown_(shown),
      start_(Clock::now()),
      due_(std::chrono::duration_cast<Clock::duration>(kFirst).count()) {}

void ProgressLine::Add(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) {
  bytes_.fetch_add(bytes, std::memory_order_relaxed);
  files_.fetch_add(files, std::memory_order_relaxed);
  records_.fetch_add(records, std::memory_order_relaxed);
}

bool ProgressLine::Due() const {
  return shown_ && (Clock::now() - start_).count() >= due_.load(std::memory_order_relaxed);
}

void ProgressLine::Draw() {
  const Clock::duration elapsed = Clock::now() - start_;
  due_.store(std::chrono::duration_cast<Clock::duration>(elapsed + kEvery).count(),
             std::memory_order_relaxed);
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const auto bytes = static_cast<double>(bytes_.load(std::memory_order_relaxed));
  const std::uint64_t files = files_.load(std::memory_order_relaxed);
  const std::uint64_t records = records_.load(std::memory_order_relaxed);
  std::string line = "tvx scan: " + Amount(bytes) + ", " + std::to_string(files) + " file" +
                     (files == 1 ? "" : "s") + " done, " + std::to_string(records) + " record" +
                     (records == 1 ? "" : "s") + ", " + Amount(seconds > 0 ? bytes / seconds : 0) +
                     "/s";
  const std::size_t length = line.size();
  if (length < drawn_) line.append(drawn_ - length, ' ');  // over the longer line before
  err_ << "\r" << line;
  err_.Finish();
  drawn_ = length;
}

void ProgressLine::Erase() {
  if (drawn_ == 0) return;
  err_ << "\r" << std::string(drawn_, ' ') << "\r";
  drawn_ = 0;
}

std::string ProgressLine::Amount(double bytes) {
  static constexpr const char* kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB"};
  std::size_t unit = 0;
  while (bytes >= 999.95 && unit + 1 < std::size(kUnits)) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
  return text;
}

}  // namespace tvx::tool
