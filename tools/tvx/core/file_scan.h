// The scan of one file, as core::Scan runs it on whatever thread reads the file: its bytes
// read once from start to end through the record finder, its records picked, placed in their
// forms and given their indexes, and handed on as events in file order.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "collection.h"
#include "controls.h"
#include "scan.h"

namespace tvx::core {

// What a file's scan hands on, kept until its turn.
struct Event {
  enum class Kind { kNotAProgram, kRecord, kNearby, kForm, kDone, kUnreadable };
  Kind kind = Kind::kRecord;
  FoundRecord record;        // kRecord, kNearby
  FoundForm form;            // kForm
  std::string file;          // the others
  bool named = false;        // kNotAProgram
  std::uint64_t bytes = 0;   // kDone, kUnreadable: the bytes read
  std::uint64_t others = 0;  // kDone, kUnreadable: records of other classes passed over
  IoError error;             // kUnreadable
};

using Emit = std::function<void(Event&&)>;

// What a file's scan is told and tells, besides its events: the bytes read (added to as they
// are), whether to stop (asked between pieces, on the reading thread) and, where wanted, a tick
// after each piece.
struct FileScanContext {
  const ScanOptions& options;
  const Emit& emit;
  std::atomic<std::uint64_t>& bytesRead;
  const std::function<bool()>& stopped;
  Decoders& decoders;  // the reading thread's, for the records' indexes
  std::function<void()> tick = {};
};

// Scans the file, its last event kDone or kUnreadable (none when the scan was stopped).
void ScanFile(const FileScanContext& context, const Collection::File& file);
// Scans an input already open, named `name`.
void ScanOpenInput(const FileScanContext& context, const std::string& name,
                   std::shared_ptr<InputSource> input);

}  // namespace tvx::core
