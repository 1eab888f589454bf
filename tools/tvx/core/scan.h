// The scan of many inputs: each file of the paths given (folders walked, standard input
// streamed) read once from start to end, its control records found and picked, and handed to a
// sink in the order of the files, whatever number of them is read at a time. Everything a scan
// finds reaches the sink on the calling thread; what a later file finds while an earlier one is
// still read is held back, up to a bound, so memory stays a few MiB whatever the inputs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls.h"
#include "files.h"
#include "forms.h"
#include "places.h"
#include "record_finder.h"

namespace tvx::core {

struct ScanOptions {
  ClassTable classes;
  bool all = false;                 // records of every class, not only the known ones
  std::vector<std::string> names;   // only the records of these control names (any case)
  std::vector<Position> positions;  // only the records whose stream starts at one of these
  // Where a record may have been meant instead (an offset given as a position): one that starts
  // at one of these, picked by all but `positions`, goes to ScanSink::Nearby, not counted.
  std::vector<Position> nearby;
  bool follow = false;      // symbolic links inside folders are followed
  unsigned jobs = 1;        // files read at a time
  bool keepInputs = false;  // each record carries its file, to decode it from
  // Each record of a control a plug-in decodes carries its Index (control_index.h): read from
  // the bytes the scan holds, or else from the file. Standard input that is not copied
  // (keepInputs) cannot be read again: a record whose section A runs past the bytes held (a few
  // hundred at least, mostly the rest of a 256 KiB piece) has no index then. Without indexes,
  // only a record whose file cannot be read again (keepInputs) carries one: a caller that
  // decodes each record takes the index from the decode (DecodedRecord::Index).
  bool indexes = true;
  std::vector<std::string> forms;  // only the records in the forms of these names (any case)
  // Set from any thread to end the scan soon: the files being read are left where they are and
  // nothing more is handed on (no record, no file done, no error).
  const std::atomic<bool>* stop = nullptr;
};

struct FoundRecord {
  std::string file;  // the path as given or walked ("-" for standard input)
  Position position = 0;
  std::string name;
  std::string className;
  const DeliverableInfo* control = nullptr;  // nothing for a class no plug-in decodes
  std::shared_ptr<InputSource> input;        // with keepInputs: the file, read at offsets
  std::optional<FormImage> form;             // the form whose image holds it, if one does
  std::optional<std::int64_t> index;         // its index in its control array (with indexes)
};

// A form image, handed on before the records it holds.
struct FoundForm {
  std::string file;
  FormImage image;
  FormTrouble trouble = FormTrouble::kNone;  // why it gives no form, if it gives none
};

// What a scan hands on, in order. Progress may be called on any thread, at any time.
class ScanSink {
 public:
  virtual ~ScanSink() = default;
  // A file that is not a Windows program (no MZ and PE header): it is scanned as raw bytes.
  // `named`: given as a path, not found in a folder.
  virtual void NotAProgram(const std::string& /*file*/, bool /*named*/) {}
  virtual void Record(const FoundRecord& record) = 0;
  // A form image found (with ScanOptions::forms, only those of the forms named).
  virtual void Form(const FoundForm& /*form*/) {}
  // A record at one of ScanOptions::nearby.
  virtual void Nearby(const FoundRecord& /*record*/) {}
  // The file was read to its end.
  virtual void FileDone(const std::string& /*file*/, std::uint64_t /*bytes*/) {}
  // An entry that could not be read (wholly): a path, a file of a folder, a read error.
  virtual void Unreadable(const std::string& /*file*/, const IoError& /*error*/) {}
  // Asked between files and between the pieces of a file, on the thread the sink is called on:
  // true to end the scan there (no use going on), as ScanOptions::stop does.
  virtual bool Stopped() { return false; }
  virtual void Progress(std::uint64_t /*bytes*/, std::uint64_t /*files*/,
                        std::uint64_t /*records*/) {}
};

struct ScanTotals {
  std::uint64_t files = 0;        // read to their end
  std::uint64_t unreadable = 0;   // entries that could not be read
  std::uint64_t notPrograms = 0;  // files scanned as raw bytes
  std::uint64_t bytes = 0;
  std::uint64_t records = 0;  // records handed on
  std::uint64_t others = 0;   // records of classes no plug-in decodes (handed on with `all`)
  std::uint64_t forms = 0;    // form images handed on that give their records a form
  std::vector<std::uint64_t> perControl = std::vector<std::uint64_t>(Controls().size());
};

// Scans the files of `paths` ("-" for standard input, folders walked in the byte order of their
// names), handing what it finds to `sink` in order.
ScanTotals Scan(const std::vector<std::string>& paths, const ScanOptions& options, ScanSink& sink);

// Scans one input that is already open (bytes in memory, a file read at offsets), named `file`.
ScanTotals ScanInput(const std::string& file, std::shared_ptr<InputSource> input,
                     const ScanOptions& options, ScanSink& sink);

// The processors of this machine (1 where files are scanned one at a time).
unsigned Processors();

}  // namespace tvx::core
