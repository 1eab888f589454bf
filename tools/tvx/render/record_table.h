// A table of records, a row each and a column for each field (core/fields.h): CSV (RFC 4180:
// a header row, CR LF rows, fields quoted where they hold a comma, a quote or a line end; texts
// as UTF-8, each stream byte the character of the same number) or aligned columns for people.
// A property a record does not have is an empty cell; a number is its digits, a boolean True or
// False, an enumerated value its number (aligned: with its constant's name), a picture its
// SHA-256.
#pragma once

#include <memory>
#include <vector>

#include "fields.h"
#include "record.h"
#include "scan.h"
#include "writer.h"

namespace tvx::render {

enum class TableFormat : std::uint8_t { kCsv, kAligned };

class RecordTable {
 public:
  RecordTable(Writer& out, std::vector<core::Field> fields, TableFormat format, bool utf8);
  ~RecordTable();
  // A record's row; `decoded` where it was decoded.
  void Add(const core::FoundRecord& found, const core::DecodedRecord* decoded);
  // The rows held back to align the columns.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tvx::render
