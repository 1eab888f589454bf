#include "tvx/dispatcher.h"

namespace tvx {

void frmLibraryMain::Form_Load() {
  OffsetFlag = "N";
  decoder_.InitProperties();
}

void frmLibraryMain::txtLibraryText_Change() {
  const std::string text = box_.GetText();
  if (text.empty() || text.back() != kEndMark) return;  // not complete, or the initial text

  // A text box holds at most 32,767 characters: a longer message is an invalid request, and it
  // is answered like one so that the host is never left waiting.
  if (text.front() == '%' || text.size() > kMaxMessageLength) {
    const Request request = ParseRequest(text);
    if (request.valid) {
      InputPath = request.InputPath;
      StartOffset = request.StartOffset;
      OffsetFlag = std::string(1, request.OffsetFlag);
    }
    ParseLibraryFile(decoder_, request, files_);
    // The reply re-enters this handler at once and takes the reply branch below.
    std::string reply = "^DONE";
    reply.push_back(kEndMark);
    box_.SetText(reply);
    return;
  }
  if (text.front() == '^') {
    const std::size_t e = text.find(kEndMark);
    ReplyWord = text.substr(1, e - 1);
    if (ReplyWord == "END") box_.EndProgram();
  }
}

}  // namespace tvx
