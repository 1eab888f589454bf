#include "registry.h"

#include <cctype>

#if TVX_HAVE_CALENDAR
#include "calendar/calendar_decoder.h"
#endif
#if TVX_HAVE_ADODC
#include "adodc/adodc_decoder.h"
#endif
#if TVX_HAVE_COMMONDIALOG
#include "commondialog/commondialog_decoder.h"
#endif
#if TVX_HAVE_PLUGINHOST
#include "pluginhost/pluginhost_decoder.h"
#endif
#if TVX_HAVE_COMM
#include "comm/comm_decoder.h"
#endif
#if TVX_HAVE_AGENT
#include "agent/agent_decoder.h"
#endif

namespace tvx {

namespace {

struct Entry {
  const DeliverableInfo* info;
  std::unique_ptr<Decoder> (*make)();
};

template <typename D>
std::unique_ptr<Decoder> Make() {
  return std::make_unique<D>();
}

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
#if TVX_HAVE_CALENDAR
    {&CalendarDecoder::kInfo, &Make<CalendarDecoder>},
#endif
#if TVX_HAVE_ADODC
    {&AdodcDecoder::kInfo, &Make<AdodcDecoder>},
#endif
#if TVX_HAVE_COMMONDIALOG
    {&CommonDialogDecoder::kInfo, &Make<CommonDialogDecoder>},
#endif
#if TVX_HAVE_PLUGINHOST
    {&PluginHostDecoder::kInfo, &Make<PluginHostDecoder>},
#endif
#if TVX_HAVE_COMM
    {&CommDecoder::kInfo, &Make<CommDecoder>},
#endif
#if TVX_HAVE_AGENT
    {&AgentDecoder::kInfo, &Make<AgentDecoder>},
#endif
  };
  return entries;
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

}  // namespace

std::vector<const DeliverableInfo*> AllDeliverables() {
  std::vector<const DeliverableInfo*> infos;
  for (const Entry& e : Entries())
    infos.push_back(e.info);
  return infos;
}

std::unique_ptr<Decoder> MakeDecoder(std::string_view nameOrClassWord) {
  for (const Entry& e : Entries()) {
    if (SameWord(nameOrClassWord, e.info->name) || SameWord(nameOrClassWord, e.info->classWord)) {
      return e.make();
    }
  }
  return nullptr;
}

}  // namespace tvx
