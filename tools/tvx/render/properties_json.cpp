#include "properties_json.h"

#include "names.h"

namespace tvx::render {

namespace {

Json BytesJson(const core::Property& p) {
  Json spans = Json::array();
  for (const core::ByteSpan& b : p.bytes) {
    Json span = Json::object();
    AddPlace(span, b.position);
    span["size"] = b.size;
    spans.push_back(std::move(span));
  }
  return spans;
}

Json ColourJson(const core::Colour& c) {
  Json colour = {{"kind", core::ColourKindCode(c.kind)}, {"raw", c.raw}};
  if (c.kind == core::Colour::Kind::kRgb) {
    colour["red"] = c.red;
    colour["green"] = c.green;
    colour["blue"] = c.blue;
  } else if (c.kind == core::Colour::Kind::kSystem) {
    colour["index"] = c.index;
    colour["name"] = c.name.empty() ? Json(nullptr) : Json(c.name);
  }
  return colour;
}

Json BitsJson(const core::Property& p, std::uint64_t* unnamed) {
  Json bits = Json::array();
  for (const core::FlagBit& b : core::SetBits(p)) {
    Json names = Json::array();
    for (const std::string_view name : b.names)
      names.push_back(name);
    if (b.names.empty()) *unnamed |= b.bit;
    bits.push_back({{"bit", b.bit}, {"names", std::move(names)}});
  }
  return bits;
}

Json DetailJson(const core::DecodedRecord& record, std::size_t index, TextSlots& slots);

// The members of a group, by name, each made by `member`.
template <typename Member>
Json MembersJson(const core::DecodedRecord& record, std::optional<std::size_t> group,
                 Member member) {
  Json object = Json::object();
  for (std::size_t i = group ? *group + 1 : 0; i < record.properties.size(); ++i) {
    if (record.properties[i].group != group) continue;
    object[std::string(record.properties[i].name())] = member(i);
  }
  return object;
}

Json DetailJson(const core::DecodedRecord& record, std::size_t index, TextSlots& slots) {
  const core::Property& p = record.properties[index];
  const PropertyType type = p.def->type;
  Json d = {{"type", core::PropertyTypeCode(type)}};
  if (type == PropertyType::kGroup) {
    d["line"] = p.line ? Json(*p.line) : Json(nullptr);
    d["bytes"] = BytesJson(p);
    d["members"] =
        MembersJson(record, index, [&](std::size_t i) { return DetailJson(record, i, slots); });
    return d;
  }
  d["value"] = PropertyValueJson(record, index, slots);
  d["text"] = slots.Text(record.Text(p.text));
  d["stored"] = p.stored ? Json(*p.stored) : Json(nullptr);
  d["line"] = p.line ? Json(*p.line) : Json(nullptr);
  d["derived"] = p.derived;
  d["bytes"] = BytesJson(p);
  if (!p.alternate.empty()) d["alternate"] = Bytes(p.alternate);
  if (type == PropertyType::kEnumerated) {
    const std::optional<std::string_view> meaning = core::Meaning(p);
    d["meaning"] = meaning ? Json(*meaning) : Json(nullptr);
  } else if (type == PropertyType::kFlags) {
    std::uint64_t unnamed = 0;
    d["bits"] = BitsJson(p, &unnamed);
    d["unnamed_bits"] = unnamed;
  } else if (type == PropertyType::kColour) {
    const std::optional<core::Colour> colour = core::ColourOf(p);
    d["colour"] = colour ? ColourJson(*colour) : Json(nullptr);
  }
  return d;
}

}  // namespace

Json PictureJson(const core::DecodedRecord& record) {
  if (!record.picture) return nullptr;
  const core::Picture& picture = *record.picture;
  Json json = {{"format", picture.format}};
  if (picture.position > 0) {
    AddPlace(json, picture.position);
  } else {
    json["position"] = nullptr;
    json["offset"] = nullptr;
  }
  json["size"] = picture.size;
  json["sha256"] = record.PictureDigest();
  return json;
}

Json PropertyValueJson(const core::DecodedRecord& record, std::size_t index, TextSlots& slots) {
  const core::Property& p = record.properties[index];
  if (p.def->type == PropertyType::kGroup) {
    return MembersJson(record, index,
                       [&](std::size_t i) { return PropertyValueJson(record, i, slots); });
  }
  if (p.def->type == PropertyType::kPicture) return p.bytes.empty() ? nullptr : PictureJson(record);
  return std::visit(
      [&](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return nullptr;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return slots.Text(record.Text(v));
        } else {
          return v;  // a number no JSON number holds (NaN, infinity) is written as null
        }
      },
      p.value);
}

std::string RecordPropertiesText(const core::DecodedRecord& record) {
  TextSlots slots;
  const Json json = {{"picture", PictureJson(record)},
                     {"properties", PropertiesJson(record, slots)},
                     {"property_details", PropertyDetailsJson(record, slots)}};
  StringWriter out;
  slots.Write(out, json.dump(-1, ' ', true));
  return std::move(out.text);
}

Json PropertiesJson(const core::DecodedRecord& record, TextSlots& slots) {
  return MembersJson(record, std::nullopt,
                     [&](std::size_t i) { return PropertyValueJson(record, i, slots); });
}

Json PropertyDetailsJson(const core::DecodedRecord& record, TextSlots& slots) {
  return MembersJson(record, std::nullopt,
                     [&](std::size_t i) { return DetailJson(record, i, slots); });
}

}  // namespace tvx::render
