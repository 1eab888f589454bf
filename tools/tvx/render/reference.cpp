#include "reference.h"

#include <string>

#include "controls.h"
#include "names.h"
#include "record.h"
#include "registry.h"
#include "tvx/reader.h"

namespace tvx::render {

namespace {

// Text in a Markdown table cell: the bars that would end it escaped.
std::string Cell(std::string_view text) {
  std::string cell;
  for (const char c : text) {
    if (c == '|') cell += '\\';
    cell += c;
  }
  return cell;
}

std::string Values(const PropertyDef& def) {
  std::string values;
  for (const Constant& c : def.constants) {
    if (!values.empty()) values += ", ";
    if (def.type == PropertyType::kFlags) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%llX", static_cast<unsigned long long>(c.value));
      values += std::string(hex) + " " + std::string(c.name);
    } else {
      values += std::to_string(c.value) + " " + std::string(c.name);
    }
  }
  return values;
}

// What the block writes for the property when the stream holds none of it: the value of a
// decode of no bytes, or that the line is left out.
std::string Default(const core::DecodedRecord& fresh, const std::string& path) {
  const core::Property* p = fresh.Find(path);
  if (p == nullptr) return "not written";
  if (p->def->type == PropertyType::kGroup) return "";
  return p->text.empty() ? "(empty)" : "`" + Cell(p->text) + "`";
}

void WriteControl(Writer& out, const DeliverableInfo& control) {
  out << "## " << control.classWord << " (" << control.name << ")\n\n";
  if (!control.classNames.empty()) {
    out << "Class names in compiled programs: `" << control.classNames << "`. ";
  }
  out << "Block labels are padded to " << std::to_string(control.labelWidth) << " characters.\n\n";
  // A fresh decode, of no bytes at all: what the block holds when the stream holds nothing.
  BytesInput none(std::string_view{});
  const std::unique_ptr<Decoder> decoder = core::NewDecoder(control);
  const core::DecodedRecord fresh = core::Decode(*decoder, none, 1, false, false);
  out << "| Property | Type | What it is | Without the stream | Values | Where the stream keeps "
         "it |\n|---|---|---|---|---|---|\n";
  for (const PropertyEntry& entry : PropertiesOf(control)) {
    const PropertyDef& def = *entry.def;
    std::string path(def.name);
    if (entry.group != nullptr) path = std::string(entry.group->name) + "." + path;
    out << "| " << Cell(path) << " | " << core::PropertyTypeCode(def.type) << " | "
        << Cell(def.about) << " | " << Default(fresh, path) << " | " << Cell(Values(def)) << " | "
        << Cell(def.stored) << " |\n";
  }
  out << "\n";
}

}  // namespace

void WriteReference(Writer& out, const DeliverableInfo* control) {
  if (control != nullptr) {
    WriteControl(out, *control);
    return;
  }
  out << "# The controls' properties\n\n"
         "What each control's property block may hold, made by `tvx properties` from the "
         "definitions the decoders write their blocks with (the test suite checks this file "
         "against a fresh one). A property's type is the `type` of tvx's JSON; \"without the "
         "stream\" is what the block writes when the stream holds none of the property (\"not "
         "written\": the line is left out); a group's members are named Group.Member. The "
         "values are the control's constants: an enumerated value has the name of the one it "
         "equals (none for other numbers), a flags value names each of its bits.\n\n";
  for (const DeliverableInfo* info : core::Controls())
    WriteControl(out, *info);
}

}  // namespace tvx::render
