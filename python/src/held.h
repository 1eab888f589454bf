// A decode or an explanation as Python holds it once made: its properties' JSON text, made when
// asked for, and, where the decode left texts or its picture in the file, the file kept open to
// read them again (kept.h). Python's tvx._tvx._Properties.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "explanation.h"
#include "kept.h"
#include "record.h"

namespace tvx::python {

class Held {
 public:
  // Made again from its JSON text (an unpickled one): it holds no lines.
  explicit Held(std::string text);
  Held(std::shared_ptr<KeptInput> kept, core::DecodedRecord record);
  Held(std::shared_ptr<KeptInput> kept, std::unique_ptr<core::Explanation> explanation);

  // The listing's and the block's lines, None in place of each long one (Line reads it); the
  // GIL held, let go while it reads.
  std::pair<py::list, py::list> Split();
  // Lets the file go when every text is held whole.
  void Settle();
  // Line `index` of the listing (which 0) or the block (1), read again from the file.
  py::str Line(int which, std::size_t index);
  // The picture's bytes, or None.
  py::object Picture();
  // A long text of an explanation's values, by the number LongValue gave it.
  py::str Value(std::size_t index);
  std::size_t LongValue(std::string held) {
    longValues_.push_back(std::move(held));
    return longValues_.size() - 1;
  }
  // Each property's Python value by name, as the package's Properties makes them from the JSON
  // (Enumerated, Picture and MappingProxyType given); None when only the JSON text is held.
  py::object Values(py::handle enumerated, py::handle picture, py::handle proxy);
  // True when a line is left in the file (the lines hold None in its place).
  bool LongLines() const { return !listing_.AllShort() || !block_.AllShort(); }
  // {"picture", "properties", "property_details"} as tvx's JSON has them.
  const std::string& Text();
  const core::DecodedRecord* Record() const;

 private:
  TextWriter Listing() const;
  TextWriter Block() const;
  TextWriter BlockLine(std::size_t line) const;
  bool HoldsLongTexts() const;
  bool NeedsInput() const;

  std::shared_ptr<KeptInput> kept_;
  std::optional<core::DecodedRecord> record_;
  std::unique_ptr<core::Explanation> explanation_;
  HeldLines listing_;
  HeldLines block_;
  std::vector<std::string> longValues_;
  std::string text_;
};

}  // namespace tvx::python
