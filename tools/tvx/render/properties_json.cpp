#include "properties_json.h"

#include "names.h"

namespace tvx::render {

namespace {

void WriteBytes(JsonText& json, const core::Property& p) {
  json.BeginArray();
  for (const core::ByteSpan& b : p.bytes) {
    json.BeginObject();
    json.Key("position");
    json.UInt(b.position);
    json.Key("offset");
    json.UInt(b.position - 1);
    json.Key("size");
    json.UInt(b.size);
    json.EndObject();
  }
  json.EndArray();
}

void WriteColour(JsonText& json, const core::Colour& c) {
  json.BeginObject();
  json.Key("kind");
  json.Stream(core::ColourKindCode(c.kind));
  json.Key("raw");
  json.UInt(c.raw);
  if (c.kind == core::Colour::Kind::kRgb) {
    json.Key("red");
    json.Int(c.red);
    json.Key("green");
    json.Int(c.green);
    json.Key("blue");
    json.Int(c.blue);
  } else if (c.kind == core::Colour::Kind::kSystem) {
    json.Key("index");
    json.Int(c.index);
    json.Key("name");
    if (c.name.empty()) {
      json.Null();
    } else {
      json.Stream(c.name);
    }
  }
  json.EndObject();
}

void WriteBits(JsonText& json, const core::Property& p) {
  std::uint64_t unnamed = 0;
  json.Key("bits");
  json.BeginArray();
  for (const core::FlagBit& b : core::SetBits(p)) {
    json.BeginObject();
    json.Key("bit");
    json.UInt(b.bit);
    json.Key("names");
    json.BeginArray();
    for (const std::string_view name : b.names)
      json.Stream(name);
    json.EndArray();
    json.EndObject();
    if (b.names.empty()) unnamed |= b.bit;
  }
  json.EndArray();
  json.Key("unnamed_bits");
  json.UInt(unnamed);
}

void WriteValue(JsonText& json, const core::DecodedRecord& record, std::size_t index,
                TextSlots& slots);
void WriteDetail(JsonText& json, const core::DecodedRecord& record, std::size_t index,
                 TextSlots& slots);

// The members of a group (or the top level), by name, each written by `write`.
template <typename Write>
void WriteMembers(JsonText& json, const core::DecodedRecord& record,
                  std::optional<std::size_t> group, Write write) {
  json.BeginObject();
  for (std::size_t i = group ? *group + 1 : 0; i < record.properties.size(); ++i) {
    if (record.properties[i].group != group) continue;
    json.Key(record.properties[i].name());
    write(i);
  }
  json.EndObject();
}

void WriteValue(JsonText& json, const core::DecodedRecord& record, std::size_t index,
                TextSlots& slots) {
  const core::Property& p = record.properties[index];
  if (p.def->type == PropertyType::kGroup) {
    WriteMembers(json, record, index, [&](std::size_t i) { WriteValue(json, record, i, slots); });
    return;
  }
  if (p.def->type == PropertyType::kPicture) {
    if (p.bytes.empty()) {
      json.Null();
    } else {
      WritePicture(json, record);
    }
    return;
  }
  if (const auto* n = std::get_if<std::int64_t>(&p.value)) {
    json.Int(*n);
  } else if (const bool* b = std::get_if<bool>(&p.value)) {
    json.Bool(*b);
  } else if (const double* d = std::get_if<double>(&p.value)) {
    json.Double(*d);  // a number no JSON number holds (NaN, infinity) is written as null
  } else if (const std::string* s = std::get_if<std::string>(&p.value)) {
    slots.Put(json, record.Text(*s));
  } else {
    json.Null();
  }
}

void WriteDetail(JsonText& json, const core::DecodedRecord& record, std::size_t index,
                 TextSlots& slots) {
  const core::Property& p = record.properties[index];
  const PropertyType type = p.def->type;
  json.BeginObject();
  json.Key("type");
  json.Stream(core::PropertyTypeCode(type));
  if (type != PropertyType::kGroup) {
    json.Key("value");
    WriteValue(json, record, index, slots);
    json.Key("text");
    slots.Put(json, record.Text(p.text));
    if (p.stored) {  // only where it differs from the value the block states
      json.Key("stored");
      json.Int(*p.stored);
    }
  }
  json.Key("line");
  if (p.line) {
    json.UInt(*p.line);
  } else {
    json.Null();
  }
  if (p.derived) {
    json.Key("derived");
    json.Bool(true);
  }
  json.Key("bytes");
  WriteBytes(json, p);
  if (!p.alternate.empty()) {
    json.Key("alternate");
    json.Stream(p.alternate);
  }
  if (type == PropertyType::kGroup) {
    json.Key("members");
    WriteMembers(json, record, index, [&](std::size_t i) { WriteDetail(json, record, i, slots); });
  } else if (type == PropertyType::kEnumerated) {
    json.Key("meaning");
    const std::optional<std::string_view> meaning = core::Meaning(p);
    if (meaning) {
      json.Stream(*meaning);
    } else {
      json.Null();
    }
  } else if (type == PropertyType::kFlags) {
    WriteBits(json, p);
  } else if (type == PropertyType::kColour) {
    json.Key("colour");
    const std::optional<core::Colour> colour = core::ColourOf(p);
    if (colour) {
      WriteColour(json, *colour);
    } else {
      json.Null();
    }
  }
  json.EndObject();
}

}  // namespace

void WritePicture(JsonText& json, const core::DecodedRecord& record) {
  if (!record.picture) {
    json.Null();
    return;
  }
  const core::Picture& picture = *record.picture;
  json.BeginObject();
  json.Key("format");
  json.Stream(picture.format);
  json.Key("position");
  if (picture.position > 0) {
    json.UInt(picture.position);
    json.Key("offset");
    json.UInt(picture.position - 1);
  } else {
    json.Null();
    json.Key("offset");
    json.Null();
  }
  json.Key("size");
  json.UInt(picture.size);
  json.Key("sha256");
  json.Stream(record.PictureDigest());
  json.EndObject();
}

void WriteProperties(JsonText& json, const core::DecodedRecord& record, TextSlots& slots) {
  WriteMembers(json, record, std::nullopt,
               [&](std::size_t i) { WriteValue(json, record, i, slots); });
}

void WritePropertyDetails(JsonText& json, const core::DecodedRecord& record, TextSlots& slots) {
  WriteMembers(json, record, std::nullopt,
               [&](std::size_t i) { WriteDetail(json, record, i, slots); });
}

std::string PropertiesMember(const core::DecodedRecord& record, TextSlots& slots, bool indented) {
  std::string text;
  JsonText json(text, indented, 1);
  WriteProperties(json, record, slots);
  return text;
}

std::string DetailsMember(const core::DecodedRecord& record, TextSlots& slots, bool indented) {
  std::string text;
  JsonText json(text, indented, 1);
  WritePropertyDetails(json, record, slots);
  return text;
}

std::string PictureMember(const core::DecodedRecord* record, bool indented) {
  std::string text;
  JsonText json(text, indented, 1);
  if (record == nullptr) {
    json.Null();
  } else {
    WritePicture(json, *record);
  }
  return text;
}

std::string RecordPropertiesText(const core::DecodedRecord& record) {
  TextSlots slots;
  std::string text;
  JsonText json(text, false);
  json.BeginObject();
  json.Key("picture");
  WritePicture(json, record);
  json.Key("properties");
  WriteProperties(json, record, slots);
  json.Key("property_details");
  WritePropertyDetails(json, record, slots);
  json.EndObject();
  StringWriter out;
  slots.Write(out, text);
  return std::move(out.text);
}

}  // namespace tvx::render
