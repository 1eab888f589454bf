// The columns of a table of records (tvx scan --fields): the record's own facts (its file, place,
// name, class, control, form, index, how its decode ended) and its properties by name, a group's
// member as Group.Member. One list of every property name tvx knows, from the decoders'
// definitions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record.h"
#include "scan.h"

namespace tvx::core {

struct Field {
  enum class Kind : std::uint8_t {
    kFile,
    kPosition,
    kOffset,
    kName,
    kClass,
    kControl,
    kForm,      // the form whose image holds the record
    kIndex,     // its index in its control array
    kStop,      // the decode's stop code
    kProperty,  // `path`
  };
  Kind kind = Kind::kProperty;
  std::string path;  // the property: "Connect", "Font.Name"
  std::string heading;
};

// "file,name,Connect": the fields in order. An unknown name, or a group named without a member,
// is an error in words (with the closest name when one is close).
std::optional<std::vector<Field>> ParseFields(std::string_view list, std::string* error);
// The fields a table has when none are named.
std::vector<Field> DefaultFields();
// Whether any field needs the record decoded.
bool NeedsDecode(const std::vector<Field>& fields);

// Every property path of every control, members as Group.Member, each once, in the controls'
// order.
const std::vector<std::string>& PropertyPaths();

// Whether the record's decode holds the property at `path` from the stream (not a start value).
bool HoldsProperty(const DecodedRecord& record, std::string_view path);

}  // namespace tvx::core
