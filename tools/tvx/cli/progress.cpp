#include "progress.h"

#include "words.h"

namespace tvx::cli {

namespace {

constexpr std::chrono::milliseconds kFirst(1000);  // no line for a scan shorter than this
constexpr std::chrono::milliseconds kEvery(250);

}  // namespace

ProgressLine::ProgressLine(Output& err, bool shown)
    : err_(err), shown_(shown), start_(Clock::now()), due_(start_ + kFirst) {}

void ProgressLine::Update(std::uint64_t bytes, std::uint64_t files, std::uint64_t records) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (now < due_) return;
  due_ = now + kEvery;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const auto amount = static_cast<double>(bytes);
  std::string line = "tvx scan: " + render::Amount(amount) + ", " + render::Plural(files, "file") +
                     " done, " + render::Plural(records, "record") + ", " +
                     render::Amount(seconds > 0 ? amount / seconds : 0) + "/s";
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

}  // namespace tvx::cli
