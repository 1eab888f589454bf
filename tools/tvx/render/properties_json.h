// A decoded record's properties in JSON: "properties", each name with its typed value (a number,
// a boolean, a stream text, null; a group or a picture as an object), so that
// `jq .properties.Connect` and `jq .properties.Font.Name` work; "property_details", each name with
// its type, meaning, the number the stream holds, its line's text and the bytes it came from.
// Written as JSON text directly (json_text.h): a record has dozens of small values.
#pragma once

#include <string>

#include "json_document.h"
#include "json_text.h"
#include "record.h"

namespace tvx::render {

void WriteProperties(JsonText& json, const core::DecodedRecord& record, TextSlots& slots);
void WritePropertyDetails(JsonText& json, const core::DecodedRecord& record, TextSlots& slots);
// {"format", "position", "offset", "size", "sha256"}, or null without a picture.
void WritePicture(JsonText& json, const core::DecodedRecord& record);

// Each as the text of a document's member: indented as the document is, or on one line.
std::string PropertiesMember(const core::DecodedRecord& record, TextSlots& slots, bool indented);
std::string DetailsMember(const core::DecodedRecord& record, TextSlots& slots, bool indented);
std::string PictureMember(const core::DecodedRecord* record, bool indented);

// {"picture", "properties", "property_details"} of a record, as one line of JSON text with its
// texts whole (the Python module's to_dict() reads it).
std::string RecordPropertiesText(const core::DecodedRecord& record);

}  // namespace tvx::render
