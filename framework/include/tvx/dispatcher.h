// The exchange window's text box and the dispatcher that answers what the host writes into it.
#pragma once

#include <string>
#include <string_view>

#include "tvx/decode_run.h"
#include "tvx/decoder.h"

namespace tvx {

// The platform's side of the window: the text box and the end of the program.
class TextBox {
 public:
  virtual ~TextBox() = default;
  virtual std::string GetText() const = 0;
  // Sets the text box's text; the change notification (Dispatcher::OnTextChanged) runs at once,
  // nested inside this call.
  virtual void SetText(std::string_view text) = 0;
  // Ends the program: no further message is handled.
  virtual void EndProgram() = 0;
};

// Reacts to every change of the text box's text: a complete request is served and answered, the
// end message ends the program, anything else is ignored.
class Dispatcher {
 public:
  Dispatcher(Decoder& decoder, FileSystem& files, TextBox& box)
      : decoder_(decoder), files_(files), box_(box) {}

  void OnTextChanged();

 private:
  Decoder& decoder_;
  FileSystem& files_;
  TextBox& box_;
};

}  // namespace tvx
