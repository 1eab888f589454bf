// tvx scan's work on one input: its records found, picked, shown, decoded and saved.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"
#include "runner.h"
#include "tvx/decoder.h"

namespace tvx::tool {

// A class name (compared without regard to case) and the deliverable that decodes it.
struct KnownClass {
  std::string name;
  const DeliverableInfo* info;
};

// The class names given with --class NAME=CONTROL, which win, then those the deliverables
// declare; a usage error of `command` for a wrong --class.
std::optional<std::vector<KnownClass>> KnownClasses(const Arguments& args, std::string_view command,
                                                    Output& err);
// The deliverable that decodes the class, or nothing.
const DeliverableInfo* LookupClass(const std::vector<KnownClass>& known,
                                   std::string_view className);

struct ScanSettings {
  std::vector<KnownClass> known;
  bool all = false;     // records of every class, not only the known ones
  bool decode = false;  // each record's block (and listing) after its line
  bool listing = false;
  bool offsets = false;
  bool json = false;     // JSON Lines
  bool quiet = false;    // no notes
  bool several = false;  // more than one input may come: lines start with the input's path
  std::vector<std::string> names;            // records of these names only, when any
  std::vector<double> positions;             // records at these positions only, when any
  std::optional<std::filesystem::path> out;  // save each record's files here
};

// What all inputs came to; the tasks add to it as they go.
struct ScanTotals {
  explicit ScanTotals(std::size_t deliverables) : perDeliverable(deliverables) {}

  std::atomic<std::uint64_t> files{0};       // inputs read to their end
  std::atomic<std::uint64_t> unreadable{0};  // inputs that could not be read (wholly)
  std::atomic<std::uint64_t> bytes{0};
  std::atomic<std::uint64_t> records{0};                   // records listed
  std::atomic<std::uint64_t> others{0};                    // records of other classes, not listed
  std::atomic<std::uint64_t> notWritten{0};                // saved files that could not be written
  std::atomic<bool> endedEarly{false};                     // a decode ended before its end code
  std::vector<std::atomic<std::uint64_t>> perDeliverable;  // in AllDeliverables() order
};

// Scans the input at `path` ("-" for standard input) for the runner.
void ScanInput(const std::string& path, const ScanSettings& settings, ScanTotals& totals,
               TaskOutput& output);

// A record's line: position, offset, name, class name and control in their columns.
std::string Columns(const std::string& position, const std::string& offset, const std::string& name,
                    const std::string& className, const std::string& control);

// Where --out saves the files of `path`'s records when there are several inputs: the path under
// DIR without its root, ".." as "__" ("-" as "standard-input").
std::filesystem::path OutputFolder(const std::filesystem::path& dir, const std::string& path);

}  // namespace tvx::tool
