// The exchange window on Windows: a hidden top-level window whose only child is the edit control
// the host writes into. A single-line edit control notifies its parent with EN_CHANGE,
// synchronously, for every change of its text: WM_SETTEXT from another process, SetWindowText,
// typing, and the DDE pokes that set the text the same way. Each notification runs the
// dispatcher once; the reply the dispatcher sets re-enters it, nested, as the protocol expects.
// All calls are the ANSI ones, so the text's bytes, the end mark 255 among them, pass unchanged.
#include <windows.h>

#include "dde_win32.h"
#include "program_win32.h"
#include "tvx/dispatcher.h"
#include "tvx/platform.h"
#include "tvx/protocol.h"

namespace tvx {

namespace {

constexpr int kTextBoxId = 1;
// Posted by the end message: the window is destroyed once the notification that carried the
// message has unwound, never from inside the edit control's own handling of its text.
constexpr UINT kEndMessage = WM_APP + 1;

class LibraryWindow final : public TextBox, public win32::LinkedText {
 public:
  LibraryWindow(Decoder& decoder, win32::PluginFiles& files)
      : dispatcher_(decoder, files, *this), files_(files) {}

  bool Create(const std::string& caption) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &LibraryWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (RegisterClassExA(&wc) == 0) return false;
    // Not shown: nothing in the exchange needs the window on the screen. The caption comes
    // last (see Load): a host finds the window by it, and must find it complete.
    window_ = CreateWindowExA(0, kWindowClass, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 480, 120, nullptr, nullptr, instance, this);
    caption_ = caption;
    return window_ != nullptr && textBox_ != nullptr;
  }

  void Load(const std::string& service) {
    dde_.Start(service, *this);  // without DDE the window still serves its text box
    // Only now, with its text box and DDE source in place, can the window be found.
    SetWindowTextA(window_, caption_.c_str());
  }

  void Stop() { dde_.Stop(); }

  // TextBox
  std::string GetText() const override {
    const int length = GetWindowTextLengthA(textBox_);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = GetWindowTextA(textBox_, text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
  }

  void SetText(std::string_view text) override {
    SetWindowTextA(textBox_, std::string(text).c_str());  // EN_CHANGE, nested, before returning
  }

  void EndProgram() override {
    if (ended_) return;
    ended_ = true;
    PostMessageA(window_, kEndMessage, 0, 0);
  }

  // LinkedText: a DDE poke sets the text like any other host.
  bool PokeText(const std::string& text) override {
    if (ended_) return false;
    SetWindowTextA(textBox_, text.c_str());
    return true;
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<LibraryWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->Handle(hwnd, message, wParam, lParam);
  }

  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_CREATE:
        textBox_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", std::string(kInitialText).c_str(),
                                   WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 0, 0, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextBoxId)),
                                   GetModuleHandleA(nullptr), nullptr);
        if (textBox_ == nullptr) return -1;
        // Room for the longest message and more: a longer text still reaches the dispatcher,
        // which answers it as an invalid request.
        SendMessageA(textBox_, EM_SETLIMITTEXT, 0, 0);
        return 0;
      case WM_SIZE:
        MoveWindow(textBox_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
      case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == textBox_ && HIWORD(wParam) == EN_CHANGE) {
          OnTextChanged();
          return 0;
        }
        break;
      case kEndMessage:
        DestroyWindow(hwnd);
        return 0;
      case WM_DESTROY:
        ended_ = true;
        PostQuitMessage(0);
        return 0;
      default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  void OnTextChanged() {
    if (ended_) return;  // after the end message nothing more is handled
    // Advise links hear of each text as it is set: the request, then the reply inside it.
    dde_.Changed();
    dispatcher_.OnTextChanged();
    // A request has been answered by now: its program file is let go of before the host's
    // WM_SETTEXT or poke returns (an advise link may hear of the reply a moment sooner).
    files_.ReleaseInput();
  }

  Dispatcher dispatcher_;
  win32::PluginFiles& files_;
  win32::DdeSource dde_;
  HWND window_ = nullptr;
  HWND textBox_ = nullptr;
  std::string caption_;
  bool ended_ = false;
};

}  // namespace

int RunPlugin(Decoder& decoder) {
  const auto files = win32::MakePluginFiles(ProgramDirectory());
  LibraryWindow window(decoder, *files);
  if (!window.Create(std::string(decoder.Info().caption))) return 1;
  window.Load(win32::ProgramName());

  MSG msg{};
  int status = 0;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) break;  // WM_QUIT
    if (got < 0) {
      status = 1;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  window.Stop();
  return status != 0 ? status : static_cast<int>(msg.wParam);
}

}  // namespace tvx
