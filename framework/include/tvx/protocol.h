// The exchange as the host sees it: the names it finds the text box by, the messages it writes
// and reads, and the request a message carries.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx {

// What the host matches byte for byte, odd spacing included. Every message ends with the end
// mark, the character of code 255.
inline constexpr char kEndMark = static_cast<char>(255);
inline constexpr std::string_view kInitialText = "Data ExchangeTextBox\r\n";
inline constexpr std::string_view kReply = "^DONE\xFF";  // the plug-in's answer to a request
inline constexpr std::string_view kReplyWord = "DONE";
inline constexpr std::string_view kEndWord = "END";       // "^END" + end mark ends the plug-in
inline constexpr char kWindowClass[] = "frmLibraryMain";  // the window, on Windows
inline constexpr char kDdeTopic[] = "DataExchange";       // its DDE link topic
inline constexpr char kDdeItem[] = "txtLibraryText";      // the text box, as a DDE item
// A text box holds at most this many characters: a longer text is not a valid message.
inline constexpr std::size_t kMaxMessageLength = 32767;

// A request message: "%" path "#" position "@" flag end-mark.
struct Request {
  bool valid = false;
  std::string path;      // the compiled program file
  double start = 0;      // 1-based position of the stream, rounded half to even; >= 1 when valid
  bool offsets = false;  // the flag is "Y": offset lines in the listing
};

// Reads a request from the text of a message; `valid` is false for anything malformed.
Request ParseRequest(std::string_view text);

}  // namespace tvx
