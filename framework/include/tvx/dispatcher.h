// The exchange window: the text box the host writes into and the dispatcher that answers.
#pragma once

#include <string>
#include <string_view>

#include "tvx/decode_run.h"
#include "tvx/decoder.h"

namespace tvx {

inline constexpr char kEndMark = static_cast<char>(255);
inline constexpr std::size_t kMaxMessageLength = 32767;

// The platform's side of the window: the text box and the end of the program.
class TextBox {
 public:
  virtual ~TextBox() = default;
  virtual std::string GetText() const = 0;
  // Sets the text box's text; the change notification (txtLibraryText_Change) runs at once,
  // nested inside this call.
  virtual void SetText(std::string_view text) = 0;
  // Ends the program: no further message is handled.
  virtual void EndProgram() = 0;
};

class frmLibraryMain {
 public:
  frmLibraryMain(Decoder& decoder, FileSystem& files, TextBox& box)
      : decoder_(decoder), files_(files), box_(box) {}

  void Form_Load();
  void txtLibraryText_Change();

  const Decoder& decoder() const { return decoder_; }

  std::string InputPath;
  double StartOffset = 0;
  std::string OffsetFlag = "N";
  std::string ReplyWord;

 private:
  Decoder& decoder_;
  FileSystem& files_;
  TextBox& box_;
};

}  // namespace tvx
