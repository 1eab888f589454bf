#include "dde_win32.h"

#include <algorithm>

#include "tvx/protocol.h"

namespace tvx::win32 {

namespace {

DdeSource* g_source = nullptr;

}  // namespace

bool DdeSource::Start(const std::string& service, LinkedText& text) {
  Stop();
  text_ = &text;
  g_source = this;
  const DWORD flags = APPCLASS_STANDARD | CBF_FAIL_EXECUTES | CBF_SKIP_REGISTRATIONS |
                      CBF_SKIP_UNREGISTRATIONS | CBF_SKIP_CONNECT_CONFIRMS;
  if (DdeInitializeA(&instance_, &DdeSource::Callback, flags, 0) != DMLERR_NO_ERROR) {
    instance_ = 0;
    return false;
  }
  service_ = DdeCreateStringHandleA(instance_, service.c_str(), CP_WINANSI);
  topic_ = DdeCreateStringHandleA(instance_, kDdeTopic, CP_WINANSI);
  item_ = DdeCreateStringHandleA(instance_, kDdeItem, CP_WINANSI);
  if (service_ == nullptr || topic_ == nullptr || item_ == nullptr ||
      DdeNameService(instance_, service_, nullptr, DNS_REGISTER) == nullptr) {
    Stop();
    return false;
  }
  return true;
}

void DdeSource::Changed() {
  if (instance_ != 0) DdePostAdvise(instance_, topic_, item_);
}

void DdeSource::Stop() {
  if (instance_ != 0) {
    if (service_ != nullptr) DdeNameService(instance_, service_, nullptr, DNS_UNREGISTER);
    for (HSZ* handle : {&service_, &topic_, &item_}) {
      if (*handle != nullptr) DdeFreeStringHandle(instance_, *handle);
      *handle = nullptr;
    }
    DdeUninitialize(instance_);
    instance_ = 0;
  }
  if (g_source == this) g_source = nullptr;
  text_ = nullptr;
}

HDDEDATA CALLBACK DdeSource::Callback(UINT type, UINT format, HCONV, HSZ hsz1, HSZ hsz2,
                                      HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  if (g_source == nullptr || g_source->text_ == nullptr) return nullptr;
  return g_source->Answer(type, format, hsz1, hsz2, data);
}

// Names compare as DDEML compares them: without regard to case.
bool DdeSource::Is(HSZ handle, HSZ ours) const {
  return handle != nullptr && DdeCmpStringHandles(handle, ours) == 0;
}

HDDEDATA DdeSource::TextData(HSZ item) const {
  const std::string text = text_->GetText();
  // CF_TEXT carries its terminating NUL.
  return DdeCreateDataHandle(instance_, reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())),
                             static_cast<DWORD>(text.size() + 1), 0, item, CF_TEXT, 0);
}

// hsz1 is the topic and hsz2 the service (connections) or the item (everything else).
HDDEDATA DdeSource::Answer(UINT type, UINT format, HSZ hsz1, HSZ hsz2, HDDEDATA data) {
  const auto yes = reinterpret_cast<HDDEDATA>(TRUE);
  switch (type) {
    case XTYP_CONNECT:
      return Is(hsz1, topic_) && Is(hsz2, service_) ? yes : nullptr;
    case XTYP_WILDCONNECT: {
      if ((hsz1 != nullptr && !Is(hsz1, topic_)) || (hsz2 != nullptr && !Is(hsz2, service_))) {
        return nullptr;
      }
      HSZPAIR pairs[2] = {{service_, topic_}, {nullptr, nullptr}};
      return DdeCreateDataHandle(instance_, reinterpret_cast<LPBYTE>(pairs), sizeof pairs, 0,
                                 nullptr, 0, 0);
    }
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
      if (!Is(hsz1, topic_) || !Is(hsz2, item_) || format != CF_TEXT) return nullptr;
      return TextData(item_);
    case XTYP_ADVSTART:
      return Is(hsz1, topic_) && Is(hsz2, item_) && format == CF_TEXT ? yes : nullptr;
    case XTYP_POKE: {
      if (!Is(hsz1, topic_) || !Is(hsz2, item_) || format != CF_TEXT || data == nullptr) {
        return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
      }
      // The text is the data up to its first NUL, bounded by the size the client sent.
      const DWORD size = DdeGetData(data, nullptr, 0, 0);
      std::string text(size, '\0');
      if (size != 0) DdeGetData(data, reinterpret_cast<LPBYTE>(text.data()), size, 0);
      text.resize(std::min<std::size_t>(text.find('\0'), text.size()));
      // Setting the text runs the dispatcher, and so the whole decode, before the client hears
      // back.
      return reinterpret_cast<HDDEDATA>(text_->PokeText(text) ? DDE_FACK : DDE_FNOTPROCESSED);
    }
    default:
      return nullptr;
  }
}

}  // namespace tvx::win32
