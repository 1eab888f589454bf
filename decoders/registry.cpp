#include "registry.h"

#include <cctype>

// Made by the build from the declared deliverables: the decoders' headers, and a line
// TVX_DECODER(folder) for each deliverable.
#include "decoder_headers.inc"

namespace tvx {

namespace {

using Factory = std::unique_ptr<Decoder> (*)();

constexpr Factory kFactories[] = {
#define TVX_DECODER(folder)                                                                        \
  []() -> std::unique_ptr<Decoder> {                                                               \
    return MakeStateDecoder<folder::State>(folder::kInfo, folder::ReadStream, folder::WriteBlock); \
  },
#include "deliverables.inc"
#undef TVX_DECODER
};

struct PropertyList {
  const DeliverableInfo* info;
  std::span<const PropertyEntry> (*properties)();
};

constexpr PropertyList kPropertyLists[] = {
#define TVX_DECODER(folder) {&folder::kInfo, folder::Properties},
#include "deliverables.inc"
#undef TVX_DECODER
};

}  // namespace

std::span<const PropertyEntry> PropertiesOf(const DeliverableInfo& info) {
  for (const PropertyList& list : kPropertyLists) {
    if (list.info == &info) return list.properties();
  }
  return {};
}

const std::vector<const DeliverableInfo*>& AllDeliverables() {
  static const std::vector<const DeliverableInfo*> infos = [] {
    std::vector<const DeliverableInfo*> all;
    for (const Factory make : kFactories)
      all.push_back(&make()->Info());  // the info outlives the decoder: it is static
    return all;
  }();
  return infos;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool HasClassName(std::string_view classNames, std::string_view className) {
  while (!classNames.empty()) {
    const std::size_t blank = classNames.find(' ');
    if (SameWord(classNames.substr(0, blank), className)) return true;
    classNames.remove_prefix(blank == std::string_view::npos ? classNames.size() : blank + 1);
  }
  return false;
}

std::unique_ptr<Decoder> FindDecoder(std::string_view control) {
  for (const Factory make : kFactories) {
    auto decoder = make();
    const DeliverableInfo& info = decoder->Info();
    if (SameWord(control, info.name) || SameWord(control, info.classWord) ||
        HasClassName(info.classNames, control)) {
      return decoder;
    }
  }
  return nullptr;
}

}  // namespace tvx
