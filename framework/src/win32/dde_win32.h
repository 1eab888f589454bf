// The exchange window as a DDE source: a host may connect to the service named like the program
// (without its extension) on the topic kDdeTopic, and poke, request or watch the item kDdeItem,
// the text box's text, in CF_TEXT.
#pragma once

#include <windows.h>

#include <ddeml.h>

#include <string>

namespace tvx::win32 {

// What the link reaches: the text box.
class LinkedText {
 public:
  virtual ~LinkedText() = default;
  virtual std::string GetText() const = 0;
  // Sets the text as a host would; false when the text is no longer taken (after the end
  // message).
  virtual bool PokeText(const std::string& text) = 0;
};

// One per process: DDEML calls back without a context, so the source that started last answers.
class DdeSource {
 public:
  DdeSource() = default;
  DdeSource(const DdeSource&) = delete;
  DdeSource& operator=(const DdeSource&) = delete;
  ~DdeSource() { Stop(); }

  // Registers the service. DDEML calls back on this thread, from inside its message loop.
  bool Start(const std::string& service, LinkedText& text);
  // Tells every advise link that the text has changed. Hot links take the text as it is now.
  void Changed();
  // Unregisters the service and ends every conversation.
  void Stop();

 private:
  static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
  HDDEDATA Answer(UINT type, UINT format, HSZ hsz1, HSZ hsz2, HDDEDATA data);
  bool Is(HSZ handle, HSZ ours) const;
  HDDEDATA TextData(HSZ item) const;

  DWORD instance_ = 0;
  HSZ service_ = nullptr;
  HSZ topic_ = nullptr;
  HSZ item_ = nullptr;
  LinkedText* text_ = nullptr;
};

}  // namespace tvx::win32
