// The exchange window off Windows: standard input is the text box. Each message is the bytes up
// to and including the end mark; the plug-in's reply goes to standard output, and nothing else
// ever does.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tvx/dispatcher.h"
#include "tvx/platform.h"
#include "tvx/protocol.h"

namespace tvx {

namespace {

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the host has gone; the next read ends the program
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

class PipeTextBox final : public TextBox {
 public:
  explicit PipeTextBox(int out) : out_(out), text_(kInitialText) {}

  void Attach(Dispatcher* dispatcher) { dispatcher_ = dispatcher; }

  std::string GetText() const override { return text_; }

  // Only the plug-in sets the text this way, and only to its reply: the host reads it.
  void SetText(std::string_view text) override {
    text_ = text;
    WriteAll(out_, text);
    dispatcher_->OnTextChanged();
  }

  void EndProgram() override { ended_ = true; }

  // A message from the host.
  void Receive(std::string text) {
    text_ = std::move(text);
    dispatcher_->OnTextChanged();
  }

  bool ended() const { return ended_; }

 private:
  int out_;
  std::string text_;
  Dispatcher* dispatcher_ = nullptr;
  bool ended_ = false;
};

}  // namespace

int RunPlugin(Decoder& decoder) {
  signal(SIGPIPE, SIG_IGN);
  // A file-size limit set by the host ends a write that passes it with an error, which the
  // output handles (the file is left empty), rather than ending the program without a reply.
  signal(SIGXFSZ, SIG_IGN);
  // Started by hand: say what the program waits for, on standard error, which the host never
  // reads; standard output stays the host's alone.
  if (isatty(STDIN_FILENO) == 1) {
    const std::string hint = std::string(decoder.Info().name) +
                             ": a plug-in of the host; it reads requests on standard input "
                             "(try 'tvx host' to send one)\n";
    WriteAll(STDERR_FILENO, hint);
  }
  const auto files = MakeNativeFileSystem(ProgramDirectory());
  PipeTextBox box(STDOUT_FILENO);
  Dispatcher dispatcher(decoder, *files, box);
  box.Attach(&dispatcher);

  // A message longer than a text box holds keeps only its first characters; it reaches the
  // dispatcher still longer than the limit, so it is answered as an invalid request.
  std::string message;
  bool overflow = false;
  char buffer[65536];
  while (!box.ended()) {
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::string_view chunk(buffer, static_cast<std::size_t>(n));
    while (!chunk.empty() && !box.ended()) {
      const std::size_t mark = chunk.find(kEndMark);
      const std::string_view part = chunk.substr(0, mark);
      if (!overflow) {
        const std::size_t room = kMaxMessageLength + 1 - message.size();
        message.append(part.substr(0, room));
        overflow = part.size() > room;
      }
      if (mark == std::string_view::npos) break;
      message.push_back(kEndMark);
      box.Receive(std::move(message));
      message.clear();
      overflow = false;
      chunk.remove_prefix(mark + 1);
    }
  }
  return 0;
}

}  // namespace tvx
