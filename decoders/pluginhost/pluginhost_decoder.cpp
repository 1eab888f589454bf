// Every listing and block text written here is matched by the host byte for byte, odd spacing
// included: change none of them.
#include "pluginhost/pluginhost_decoder.h"

#include <vector>

#include "tvx/extender.h"

namespace tvx::pluginhost {

namespace {

using Code = ExtenderCode;
constexpr ExtenderProfile kProfile = {
    .sectionA = SectionA({Code::kIndex, Code::kPositionAndSize, Code::kVisible, Code::kDragMode,
                          Code::kDragIcon, Code::kTag, Code::kTabStop, Code::kTabIndex}),
    .sectionB = SectionB({Code::kHelpContextID, Code::kWhatsThisHelpID, Code::kCausesValidation,
                          Code::kToolTipText}),
    .falseText = "0   'False",
    .automaticText = "1  'Automatic",
    .dragModeLine = "DragMode: Automatic",
    .stopLine = "ACTIVEX Parse Error",
};

constexpr PropertyEntry kOwn[] = {{&extent::kExtentX}, {&extent::kExtentY}};

}  // namespace

DecodeEnd ReadStream(DecodeContext& ctx, State& s) {
  return ReadFrame(ctx, kProfile, s.ext,
                   [&] { ReadHeaderAndExtent(ctx, 8, s.ExtentX, s.ExtentY); });
}

void WriteBlock(BlockWriter& out, const State& s) {
  out.VersionLine();
  WriteVisibleControl(out, s.ext);
  out.Number(extent::kExtentX, s.ExtentX);
  out.Number(extent::kExtentY, s.ExtentY);
}

std::span<const PropertyEntry> Properties() {
  static const std::vector<PropertyEntry> all = JoinedEntries({VisibleControlEntries(), kOwn});
  return all;
}

}  // namespace tvx::pluginhost
