// The block lines of the extender properties. Every block text written here is matched by the
// host byte for byte: change none of them.
#include <string>

#include "tvx/extender.h"
#include "tvx/text.h"

namespace tvx {

namespace {

// The extender properties that are numbers (absent: -1) and texts (absent: empty).
template <typename T>
struct Field {
  const PropertyDef* def;
  Read<T> ExtenderProperties::*field;
};
constexpr Field<double> kNumberFields[] = {
    {&extender::kIndex, &ExtenderProperties::Index},
    {&extender::kLeft, &ExtenderProperties::Left},
    {&extender::kTop, &ExtenderProperties::Top},
    {&extender::kWidth, &ExtenderProperties::Width},
    {&extender::kHeight, &ExtenderProperties::Height},
    {&extender::kHelpContextID, &ExtenderProperties::HelpContextID},
    {&extender::kWhatsThisHelpID, &ExtenderProperties::WhatsThisHelpID},
};
constexpr Field<std::string> kTextFields[] = {
    {&extender::kTag, &ExtenderProperties::Tag},
    {&extender::kDataMember, &ExtenderProperties::DataMember},
    {&extender::kDataField, &ExtenderProperties::DataField},
    {&extender::kDataSource, &ExtenderProperties::DataSource},
    {&extender::kToolTipText, &ExtenderProperties::ToolTipText},
};

// A presence flag written as the profile's False where the stream held its code.
const Source* FalseFlag(const ExtenderProperties& props, const PropertyDef& def) {
  return &def == &extender::kVisible            ? &props.Visible
         : &def == &extender::kTabStop          ? &props.TabStop
         : &def == &extender::kCausesValidation ? &props.CausesValidation
                                                : nullptr;
}

}  // namespace

void WriteIfHeld(BlockWriter& out, const ExtenderProperties& props, const PropertyDef& def) {
  static constexpr std::string_view kAlignStored[] = {
      "0 'Align None", "1 'Align Top", "2 'Align Bottom", "3 'Align Left", "4 'Align Right"};
  const ExtenderProfile* profile = props.profile;
  for (const Field<double>& f : kNumberFields) {
    if (f.def == &def) return out.NumberIfSet(def, props.*f.field);
  }
  for (const Field<std::string>& f : kTextFields) {
    if (f.def == &def) return out.QuotedIfSet(def, props.*f.field);
  }
  if (&def == &extender::kAlign) {
    if (!props.Align.Held()) return;
    const std::uint8_t byte = props.Align;
    const std::uint8_t shown = byte <= 4 ? byte : 0;
    out.Shown(def, kAlignStored[shown], std::int64_t{shown}, props.Align.from,
              byte != shown ? std::optional<std::int64_t>(byte) : std::nullopt);
    return;
  }
  if (&def == &extender::kDragIcon) {
    if (props.DragIcon.empty()) return;
    const std::string quoted = QuotedValue(kPictureFileName);
    out.Shown(def, profile->quotePictureName ? std::string_view(quoted) : kPictureFileName,
              kPictureFileName, props.DragIcon);
    return;
  }
  if (&def == &extender::kDragMode) {
    if (!props.DragMode.empty()) {
      out.Shown(def, profile->automaticText, std::int64_t{1}, props.DragMode);
    }
    return;
  }
  if (&def == &extender::kNegotiate) {
    if (!props.Negotiate.empty()) out.Shown(def, "-1 'True", true, props.Negotiate);
    return;
  }
  const Source* flag = FalseFlag(props, def);
  if (flag != nullptr && !flag->empty()) out.Shown(def, profile->falseText, false, *flag);
}

void WriteEachIfHeld(BlockWriter& out, const ExtenderProperties& props,
                     std::span<const PropertyEntry> entries) {
  for (const PropertyEntry& entry : entries)
    WriteIfHeld(out, props, *entry.def);
}

void WriteIndexLeftTagTop(BlockWriter& out, const ExtenderProperties& props) {
  WriteEachIfHeld(out, props, kIndexLeftTagTop);
}

void WriteVisibleControl(BlockWriter& out, const ExtenderProperties& props,
                         const std::function<void()>& dataLines) {
  WriteIfHeld(out, props, extender::kCausesValidation);
  if (dataLines) dataLines();
  WriteIfHeld(out, props, extender::kDragIcon);
  WriteIfHeld(out, props, extender::kDragMode);
  out.Number(extender::kHeight, props.Height);
  out.NumberIfSet(extender::kHelpContextID, props.HelpContextID);
  out.NumberIfSet(extender::kIndex, props.Index);
  out.Number(extender::kLeft, props.Left);
  out.Number(extender::kTabIndex, props.TabIndex.value,
             Read<double>(props.TabIndexWord, props.TabIndex.from));
  WriteIfHeld(out, props, extender::kTabStop);
  out.QuotedIfSet(extender::kTag, props.Tag);
  out.QuotedIfSet(extender::kToolTipText, props.ToolTipText);
  out.Number(extender::kTop, props.Top);
  WriteIfHeld(out, props, extender::kVisible);
  out.NumberIfSet(extender::kWhatsThisHelpID, props.WhatsThisHelpID);
  out.Number(extender::kWidth, props.Width);
}

std::vector<PropertyEntry> VisibleControlEntries(std::span<const PropertyEntry> dataEntries) {
  static constexpr PropertyEntry kFirst[] = {{&extender::kCausesValidation}};
  static constexpr PropertyEntry kRest[] = {
      {&extender::kDragIcon},        {&extender::kDragMode}, {&extender::kHeight},
      {&extender::kHelpContextID},   {&extender::kIndex},    {&extender::kLeft},
      {&extender::kTabIndex},        {&extender::kTabStop},  {&extender::kTag},
      {&extender::kToolTipText},     {&extender::kTop},      {&extender::kVisible},
      {&extender::kWhatsThisHelpID}, {&extender::kWidth}};
  return JoinedEntries({kFirst, dataEntries, kRest});
}

void WriteExtentAndVersion(BlockWriter& out, const ExtentAndVersion& value) {
  out.Number(extent::kExtentX, value.ExtentX);
  out.Number(extent::kExtentY, value.ExtentY);
  out.NumberOrEmpty(extent::kVersion, value.Version);
}

}  // namespace tvx
