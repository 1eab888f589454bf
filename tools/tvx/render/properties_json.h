// A decoded record's properties in JSON: "properties", each name with its typed value (a number,
// a boolean, a stream text, null; a group or a picture as an object), so that
// `jq .properties.Connect` and `jq .properties.Font.Name` work; "property_details", each name with
// its type, meaning, the number the stream holds, its line's text and the bytes it came from.
#pragma once

#include "json_document.h"
#include "record.h"

namespace tvx::render {

Json PropertiesJson(const core::DecodedRecord& record, TextSlots& slots);
Json PropertyDetailsJson(const core::DecodedRecord& record, TextSlots& slots);
// {"format", "position", "offset", "size", "sha256"}, or null without a picture.
Json PictureJson(const core::DecodedRecord& record);
// {"picture", "properties", "property_details"} of a record, as one line of JSON text (the Python
// module's to_dict() reads it).
std::string RecordPropertiesText(const core::DecodedRecord& record);
// One property's typed value, as in "properties".
Json PropertyValueJson(const core::DecodedRecord& record, std::size_t index, TextSlots& slots);

}  // namespace tvx::render
