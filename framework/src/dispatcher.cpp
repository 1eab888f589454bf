#include "tvx/dispatcher.h"

#include "tvx/protocol.h"

namespace tvx {

void Dispatcher::OnTextChanged() {
  const std::string text = box_.GetText();
  if (text.empty() || text.back() != kEndMark) return;  // not complete, or the initial text

  // A text box holds at most 32,767 characters: a longer message is an invalid request, and it
  // is answered like one so that the host is never left waiting.
  if (text.front() == '%' || text.size() > kMaxMessageLength) {
    ServeRequest(decoder_, ParseRequest(text), files_);
    // The reply re-enters this handler at once and is ignored below, being our own.
    box_.SetText(kReply);
    return;
  }
  // "^" + word + end mark: only the end message does anything.
  if (text.front() == '^' &&
      std::string_view(text).substr(1, text.find(kEndMark) - 1) == kEndWord) {
    box_.EndProgram();
  }
}

}  // namespace tvx
