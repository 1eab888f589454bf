// A host as a Windows program drives a plug-in: it starts the program, finds its window by the
// caption, takes the window's only child as the text box, writes each message into it and reads
// the reply back, either with WM_SETTEXT and WM_GETTEXT ("window") or over the DDE link
// ("dde": poke, request, and a hot and a warm advise link watching every change).
//
//   tvx-winhost <window|dde> <plug-in> <caption> <service> <work directory> <count>
//
// The work directory holds requests\<k>.msg, k = 1..count, each a complete message, and for
// some a requests\<k>.how, what the host does around that request (see Around). After each
// reply the host copies the plug-in's output files (those present) and the text it read back
// (reply.txt) into results\<k>\, for the caller to compare; every request must be answered
// within kPromptMs. It checks the protocol itself:
// the window and its initial text, that messages other than requests change nothing, that a
// typed request is answered like a written one, and that the end message ends the process with
// status 0. Every failed check prints a line starting "FAIL"; the exit status is the count of
// them (0 = all passed).
#include <windows.h>

#include <ddeml.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kEnd = static_cast<char>(255);
const std::string kReply = std::string("^DONE") + kEnd;
const char* const kOutputs[] = {"TEVOLIBFILE.TMP", "TEVOLIBFILE2.TMP", "TEVOGRAPHICFILE1.TMP"};
constexpr DWORD kTimeoutMs = 60000;
// Every request is answered within this time, whatever it names: nothing is ever waited on.
constexpr DWORD kPromptMs = 10000;

int g_failures = 0;
HANDLE g_plugin = nullptr;  // the plug-in's process, once started

void Fail(const std::string& what) {
  ++g_failures;
  std::printf("FAIL %s\n", what.c_str());
  std::fflush(stdout);
}

void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// Bytes made readable for a failure line.
std::string Show(const std::string& bytes) {
  std::string out = "\"";
  for (const unsigned char c : bytes.substr(0, 200)) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + (bytes.size() > 200 ? "...\"" : "\"");
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  bytes = all.str();
  return true;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Handles the messages of this thread (DDEML's windows among them) for a while, or until `done`.
void Pump(DWORD ms, const std::function<bool()>& done = {}) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done && done()) return;
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent < 20 ? ms - spent : 20, QS_ALLINPUT);
  }
}

// ---- The plug-in's process and window ----------------------------------------------------------

struct Plugin {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
  HWND textBox = nullptr;
};

struct WindowSearch {
  DWORD pid;
  std::string caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char caption[256] = {};
  GetWindowTextA(hwnd, caption, sizeof caption);
  if (pid == search->pid && search->caption == caption) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

bool StartPlugin(const std::string& program, const std::string& caption, const std::string& workDir,
                 Plugin& plugin) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + program + "\"";
  // The working directory is not the plug-in's own: its files must still go beside it.
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.c_str(), &startup, &plugin.process)) {
    Fail("cannot start " + program + ", error " + std::to_string(GetLastError()));
    return false;
  }
  g_plugin = plugin.process.hProcess;
  // Found by its caption, as a host finds it; only a window of this process counts.
  WindowSearch search{plugin.process.dwProcessId, caption};
  const DWORD start = GetTickCount();
  while (search.found == nullptr && GetTickCount() - start < kTimeoutMs) {
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(20);
  }
  if (search.found == nullptr) {
    Fail("no window with the caption " + Show(caption));
    return false;
  }
  plugin.window = search.found;
  Check(!IsWindowVisible(plugin.window), "the window is shown on the screen");

  std::vector<HWND> children;
  EnumChildWindows(plugin.window, &CollectChild, reinterpret_cast<LPARAM>(&children));
  if (children.size() != 1) {
    Fail("the window has " + std::to_string(children.size()) + " children, not 1");
    if (children.empty()) return false;
  }
  plugin.textBox = children.front();
  char className[64] = {};
  GetClassNameA(plugin.textBox, className, sizeof className);
  Check(lstrcmpiA(className, "Edit") == 0, std::string("the child is a ") + className);
  return true;
}

// ---- The two ways of talking to the text box ---------------------------------------------------

class Channel {
 public:
  virtual ~Channel() = default;
  virtual bool Open(Plugin&) { return true; }
  // Writes a message; true once the plug-in has taken it (and so answered it, if it answers).
  virtual bool Send(const std::string& text) = 0;
  virtual std::string Read() = 0;
  // Forgets what the link has seen so far: CheckSeen then checks the texts set from now on.
  virtual void Watch() {}
  // Checks what the link saw of the texts set since Watch.
  virtual void CheckSeen(const std::vector<std::string>&, const std::string&) {}
  // Moves on to the next way of watching the text, if there is one.
  virtual bool NextLink() { return false; }
  virtual void Close() {}
};

class WindowChannel final : public Channel {
 public:
  bool Open(Plugin& plugin) override {
    textBox_ = plugin.textBox;
    return true;
  }

  bool Send(const std::string& text) override {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(textBox_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_NORMAL, kTimeoutMs, &result) != 0;
  }

  std::string Read() override {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(textBox_, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kTimeoutMs, &length)) {
      return "<no answer>";
    }
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(textBox_, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, kTimeoutMs,
                             &got)) {
      return "<no answer>";
    }
    text.resize(got);
    return text;
  }

  // Types the text into the box: one WM_CHAR per byte, over a selection of the whole text.
  bool Type(const std::string& text) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(textBox_, EM_SETSEL, 0, -1, SMTO_NORMAL, kTimeoutMs, &result)) {
      return false;
    }
    for (const char c : text) {
      if (!SendMessageTimeoutA(textBox_, WM_CHAR, static_cast<unsigned char>(c), 1, SMTO_NORMAL,
                               kTimeoutMs, &result)) {
        return false;
      }
    }
    return true;
  }

 private:
  HWND textBox_ = nullptr;
};

// One DDEML client instance with one conversation on the plug-in's link topic.
struct DdeClient {
  DWORD instance = 0;
  HSZ item = nullptr;
  HCONV conv = nullptr;

  // An empty service name connects to any service that offers the topic.
  bool Connect(PFNCALLBACK callback, const std::string& service,
               const char* topicName = "DataExchange", DWORD timeoutMs = kTimeoutMs) {
    if (DdeInitializeA(&instance, callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
      instance = 0;
      return false;
    }
    const HSZ serviceName =
        service.empty() ? nullptr : DdeCreateStringHandleA(instance, service.c_str(), CP_WINANSI);
    const HSZ topic = DdeCreateStringHandleA(instance, topicName, CP_WINANSI);
    item = DdeCreateStringHandleA(instance, "txtLibraryText", CP_WINANSI);
    // The window may be up a moment before the service is registered.
    const DWORD start = GetTickCount();
    while (conv == nullptr && GetTickCount() - start < timeoutMs) {
      conv = DdeConnect(instance, serviceName, topic, nullptr);
      if (conv == nullptr) Pump(50);
    }
    return conv != nullptr;
  }

  void Close() {
    if (instance != 0) DdeUninitialize(instance);
    instance = 0;
  }
};

std::string TextOf(HDDEDATA data) {
  const DWORD size = DdeGetData(data, nullptr, 0, 0);
  std::string text(size, '\0');
  if (size != 0) DdeGetData(data, reinterpret_cast<LPBYTE>(text.data()), size, 0);
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

// An advise link on the item, hot (the data comes with each change) or warm (a bare notice),
// in a conversation of its own served by a thread of its own: DDEML's synchronous transactions
// on the main thread then never meet the link's data. One link at a time: Wine's DDEML posts the
// changes of an item to all its links under one reference to the item's atom, which the first
// client to read it deletes.
class AdviseWatcher {
 public:
  explicit AdviseWatcher(std::string service) : service_(std::move(service)) {
    self_ = this;
    InitializeCriticalSection(&lock_);
  }
  ~AdviseWatcher() {
    Stop();
    DeleteCriticalSection(&lock_);
  }

  bool Start() {
    done_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &AdviseWatcher::Main, this, 0, &threadId_);
    return thread_ != nullptr && Await() && Link(false);
  }

  // Replaces the link by a hot (warm = false) or warm one.
  bool Link(bool warm) {
    PostThreadMessageA(threadId_, kLinkMessage, warm, 0);
    return Await();
  }
  bool warm() const { return warm_; }

  void Stop() {
    if (thread_ == nullptr) return;
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT && GetTickCount() - start < kTimeoutMs) {
      Pump(10);
    }
    CloseHandle(thread_);
    CloseHandle(done_);
    thread_ = nullptr;
  }

  void Clear() {
    EnterCriticalSection(&lock_);
    seen_.clear();
    LeaveCriticalSection(&lock_);
  }

  // What the link has seen since Clear, once it has seen `want` changes or the time is up.
  std::vector<std::string> Seen(std::size_t want) {
    const DWORD start = GetTickCount();
    for (;;) {
      EnterCriticalSection(&lock_);
      const bool all = seen_.size() >= want;
      LeaveCriticalSection(&lock_);
      if (all || GetTickCount() - start > 5000) break;
      Pump(5);
    }
    Pump(50);  // anything more would arrive now
    EnterCriticalSection(&lock_);
    std::vector<std::string> seen = seen_;
    LeaveCriticalSection(&lock_);
    return seen;
  }

 private:
  static constexpr UINT kLinkMessage = WM_APP + 1;

  // Waits for the thread to finish a step. DDE conversations begin with a message sent to every
  // top-level window, this thread's among them, so this thread keeps answering meanwhile.
  bool Await() {
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(done_, 0) == WAIT_TIMEOUT) {
      if (GetTickCount() - start > kTimeoutMs) return false;
      Pump(5);
    }
    return ok_;
  }

  static DWORD WINAPI Main(void* param) {
    auto* self = static_cast<AdviseWatcher*>(param);
    DdeClient& client = self->client_;
    self->ok_ = client.Connect(&AdviseWatcher::Callback, self->service_);
    SetEvent(self->done_);
    bool linked = false;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      if (msg.hwnd == nullptr && msg.message == kLinkMessage) {
        if (linked) {
          DdeClientTransaction(nullptr, 0, client.conv, client.item, CF_TEXT, XTYP_ADVSTOP,
                               kTimeoutMs, nullptr);
        }
        self->warm_ = msg.wParam != 0;
        const UINT type = self->warm_ ? XTYP_ADVSTART | XTYPF_NODATA : XTYP_ADVSTART;
        linked = DdeClientTransaction(nullptr, 0, client.conv, client.item, CF_TEXT, type,
                                      kTimeoutMs, nullptr) != nullptr;
        self->ok_ = linked;
        SetEvent(self->done_);
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    client.Close();
    return 0;
  }

  static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR,
                                    ULONG_PTR) {
    if (type != XTYP_ADVDATA) return nullptr;
    EnterCriticalSection(&self_->lock_);
    self_->seen_.push_back(data == nullptr ? "<notice>" : TextOf(data));
    LeaveCriticalSection(&self_->lock_);
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
  }

  static AdviseWatcher* self_;
  std::string service_;
  DdeClient client_;
  HANDLE thread_ = nullptr;
  HANDLE done_ = nullptr;
  DWORD threadId_ = 0;
  bool ok_ = false;
  bool warm_ = false;
  CRITICAL_SECTION lock_;
  std::vector<std::string> seen_;
};

AdviseWatcher* AdviseWatcher::self_ = nullptr;

// Pokes and requests over one conversation, with an advise link watching.
class DdeChannel final : public Channel {
 public:
  explicit DdeChannel(std::string service) : service_(service), watcher_(std::move(service)) {}

  bool Open(Plugin&) override {
    if (!main_.Connect(&DdeChannel::Callback, service_)) {
      Fail("no DDE conversation with " + service_ + "|DataExchange");
      return false;
    }
    if (!watcher_.Start()) {
      Fail("no hot advise link on " + service_ + "|DataExchange!txtLibraryText");
      return false;
    }
    // Names compare without regard to case, and a client naming no service finds this one.
    std::string lower = service_;
    CharLowerA(lower.data());
    for (const std::string& name : {lower, std::string()}) {
      DdeClient probe;
      Check(probe.Connect(&DdeChannel::Callback, name, "dataexchange", 5000),
            "no conversation with " + (name.empty() ? "any service" : name) + "|dataexchange");
      probe.Close();
    }
    return true;
  }

  bool NextLink() override {
    if (watcher_.warm()) return false;
    Check(watcher_.Link(true), "no warm advise link");
    return true;
  }

  void Watch() override { watcher_.Clear(); }

  bool Send(const std::string& text) override {
    DWORD result = 0;
    return DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())),
                                static_cast<DWORD>(text.size() + 1), main_.conv, main_.item,
                                CF_TEXT, XTYP_POKE, kTimeoutMs, &result) != nullptr;
  }

  std::string Read() override {
    HDDEDATA data = DdeClientTransaction(nullptr, 0, main_.conv, main_.item, CF_TEXT, XTYP_REQUEST,
                                         kTimeoutMs, nullptr);
    if (data == nullptr) return "<no answer>";
    std::string text = TextOf(data);
    DdeFreeDataHandle(data);
    DropStrayAck();
    return text;
  }

  // Every text set by the last message reaches a hot link with its data, or a warm link as a
  // bare notice, in order.
  void CheckSeen(const std::vector<std::string>& texts, const std::string& what) override {
    std::vector<std::string> want = texts;
    if (watcher_.warm()) want.assign(texts.size(), "<notice>");
    const std::vector<std::string> seen = watcher_.Seen(want.size());
    if (seen != want) {
      std::string list;
      for (const auto& t : seen)
        list += " " + Show(t);
      Fail(what + (watcher_.warm() ? ": the warm link saw" : ": the hot link saw") + list);
    }
  }

  void Close() override {
    watcher_.Stop();
    main_.Close();
  }

 private:
  static HDDEDATA CALLBACK Callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
  }

  // Wine's DDEML answers a request with the data and then also with a positive WM_DDE_ACK under
  // the same item atom. Left alone, that acknowledgement would be taken as the answer to the
  // next poke, and reading it would delete the item's atom once too often. It is taken off the
  // queue unread. Windows sends no such message.
  void DropStrayAck() {
    if (!underWine_) return;
    CONVINFO info{};
    info.cb = sizeof info;
    if (!DdeQueryConvInfo(main_.conv, QID_SYNC, &info)) return;
    const DWORD start = GetTickCount();
    MSG msg;
    while (!PeekMessageA(&msg, info.hwnd, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
      if (GetTickCount() - start > 2000) return;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    FreeDDElParam(WM_DDE_ACK, msg.lParam);
  }

  const bool underWine_ =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  std::string service_;
  DdeClient main_;
  AdviseWatcher watcher_;
};

// ---- The run -----------------------------------------------------------------------------------

struct Files {
  std::string home;  // the plug-in's directory, where its outputs appear

  std::string Path(const char* name) const { return home + "\\" + name; }
  void RemoveOutputs() const {
    for (const char* name : kOutputs)
      DeleteFileA(Path(name).c_str());
  }
  bool AnyOutput() const {
    for (const char* name : kOutputs) {
      if (Exists(Path(name))) return true;
    }
    return false;
  }
};

bool IsRunning(const Plugin& plugin) {
  return WaitForSingleObject(plugin.process.hProcess, 0) == WAIT_TIMEOUT;
}

// Messages that are not requests: the text is set and stays, and nothing is written.
void CheckIgnored(Channel& channel, const Plugin& plugin, const Files& files,
                  const std::string& someRequest) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"its own reply", kReply},
      {"^done", std::string("^done") + kEnd},
      {"^STOP", std::string("^STOP") + kEnd},
      {"^ alone", std::string("^") + kEnd},
      {"another first character", std::string("END") + kEnd},
      {"a request without the end mark", someRequest.substr(0, someRequest.size() - 1)},
      {"an empty text", ""},
      {"the initial text", "Data ExchangeTextBox\r\n"},
  };
  files.RemoveOutputs();
  for (const auto& [what, text] : texts) {
    channel.Watch();
    if (!channel.Send(text)) {
      Fail(what + ": not taken");
      continue;
    }
    channel.CheckSeen({text}, what);
    const std::string now = channel.Read();
    Check(now == text, what + ": the text became " + Show(now));
    Check(!files.AnyOutput(), what + ": output files were written");
    Check(IsRunning(plugin), what + ": the plug-in ended");
  }
}

// Copies the output files present, and the text read back, to results\<k>\.
void Collect(const std::string& dir, const Files& files, const std::string& reply) {
  CreateDirectoryA(dir.c_str(), nullptr);
  for (const char* name : kOutputs) {
    if (Exists(files.Path(name))) {
      Check(CopyFileA(files.Path(name).c_str(), (dir + "\\" + name).c_str(), FALSE) != 0,
            std::string("cannot copy ") + name);
    }
  }
  std::ofstream(dir + "\\reply.txt", std::ios::binary) << reply;
}

bool SameFiles(const std::string& dir, const Files& files) {
  for (const char* name : kOutputs) {
    std::string a, b;
    const bool hasA = ReadFileBytes(dir + "\\" + name, a);
    const bool hasB = ReadFileBytes(files.Path(name), b);
    if (hasA != hasB || a != b) return false;
  }
  return true;
}

// What the host does around one request, as requests\<k>.how says: "hold-shared" keeps the
// request's program file open for writing, letting others read it; "hold-exclusive" keeps it
// open for writing, letting nobody else open it; "serve-pipe" serves a named pipe at the
// request's path and never writes to it; "unread" leaves the reply unread in the text box, for
// the next request to be written over it.
class Around {
 public:
  Around(const std::string& how, const std::string& request) {
    const std::string path = request.substr(1, request.find('#') - 1);
    if (how == "hold-shared" || how == "hold-exclusive") {
      handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, how == "hold-shared" ? FILE_SHARE_READ : 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else if (how == "serve-pipe") {
      handle_ = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 4096, 4096, 0, nullptr);
    } else {
      Check(how.empty() || how == "unread", "unknown way around a request: " + how);
      return;
    }
    Check(handle_ != INVALID_HANDLE_VALUE,
          how + ": cannot open " + path + ", error " + std::to_string(GetLastError()));
  }
  ~Around() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Around(const Around&) = delete;
  Around& operator=(const Around&) = delete;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

int Run(const std::string& mode, const std::string& program, const std::string& caption,
        const std::string& service, const std::string& work, int count) {
  const auto started = std::chrono::steady_clock::now();
  std::vector<std::string> requests;
  for (int k = 1; k <= count; ++k) {
    std::string text;
    if (!ReadFileBytes(work + "\\requests\\" + std::to_string(k) + ".msg", text) || text.empty()) {
      Fail("cannot read request " + std::to_string(k));
      return g_failures;
    }
    requests.push_back(text);
  }
  if (requests.empty()) {
    Fail("no requests");
    return g_failures;
  }
  Files files{program.substr(0, program.find_last_of('\\'))};
  CreateDirectoryA((work + "\\results").c_str(), nullptr);

  WindowChannel window;
  DdeChannel dde(service);
  Channel& channel = mode == "dde" ? static_cast<Channel&>(dde) : window;

  Plugin plugin;
  if (!StartPlugin(program, caption, work, plugin) || !channel.Open(plugin)) {
    if (plugin.process.hProcess != nullptr) TerminateProcess(plugin.process.hProcess, 99);
    return g_failures;
  }
  const std::string initial = channel.Read();
  Check(initial == "Data ExchangeTextBox\r\n", "initial text " + Show(initial));
  std::printf("started in %.2f s\n", Seconds(started));

  // The requests, answered one after the other by the same process, none waited on.
  const auto decoding = std::chrono::steady_clock::now();
  std::vector<std::string> seen;  // the texts set since the last reply read
  for (int k = 1; k <= count; ++k) {
    const std::string& request = requests[k - 1];
    const std::string what = "request " + std::to_string(k);
    std::string how;
    ReadFileBytes(work + "\\requests\\" + std::to_string(k) + ".how", how);
    const Around around(how, request);
    if (seen.empty()) channel.Watch();
    DeleteFileA(files.Path(kOutputs[2]).c_str());  // a run without a picture must not write one
    const DWORD sent = GetTickCount();
    if (!channel.Send(request)) {
      Fail(what + ": not taken");
      seen.clear();
      continue;
    }
    // The reply is in the text box by the time the message has been taken.
    const DWORD ms = GetTickCount() - sent;
    Check(ms < kPromptMs, what + ": answered after " + std::to_string(ms) + " ms");
    seen.insert(seen.end(), {request, kReply});
    if (how == "unread") continue;  // the next request is written over this reply
    const std::string reply = channel.Read();
    Check(reply == kReply, what + ": reply " + Show(reply));
    channel.CheckSeen(seen, what);
    seen.clear();
    Collect(work + "\\results\\" + std::to_string(k), files, reply);
  }
  std::printf("%d requests in %.2f s\n", count, Seconds(decoding));

  // The shortest request again, typed into the box character by character.
  std::size_t shortest = 0;
  for (std::size_t k = 1; k < requests.size(); ++k) {
    if (requests[k].size() < requests[shortest].size()) shortest = k;
  }
  if (mode == "window") {
    DeleteFileA(files.Path(kOutputs[2]).c_str());
    Check(window.Type(requests[shortest]), "typing: a character was not taken");
    Check(window.Read() == kReply, "typing: no reply");
    Check(SameFiles(work + "\\results\\" + std::to_string(shortest + 1), files),
          "typing: the files differ from those of the same request written at once");
  }

  // An earlier listing that is read-only must not survive a run as if it were this run's.
  {
    const std::string listing = files.Path(kOutputs[0]);
    std::ofstream(listing, std::ios::binary) << "stale";
    SetFileAttributesA(listing.c_str(), FILE_ATTRIBUTE_READONLY);
    DeleteFileA(files.Path(kOutputs[2]).c_str());
    channel.Watch();
    Check(channel.Send(requests[shortest]) && channel.Read() == kReply,
          "read-only listing: no reply");
    channel.CheckSeen({requests[shortest], kReply}, "read-only listing");
    Check(SameFiles(work + "\\results\\" + std::to_string(shortest + 1), files),
          "read-only listing: the files differ from those of the same request before");
    SetFileAttributesA(listing.c_str(), FILE_ATTRIBUTE_NORMAL);
  }

  // Once for each way of watching the text.
  do {
    CheckIgnored(channel, plugin, files, requests[shortest]);
    channel.Watch();
    Check(channel.Send(requests[shortest]) && channel.Read() == kReply,
          "no reply to a request after the other messages");
    channel.CheckSeen({requests[shortest], kReply}, "the request after them");
  } while (channel.NextLink());

  // The end message ends the process, with status 0. A DDE poke of it may find the server
  // already gone, so its own result does not count.
  channel.Send(std::string("^END") + kEnd);
  const DWORD start = GetTickCount();
  while (IsRunning(plugin) && GetTickCount() - start < kTimeoutMs)
    Pump(20);
  DWORD status = 259;
  if (IsRunning(plugin)) {
    Fail("the plug-in is still running after the end message");
    TerminateProcess(plugin.process.hProcess, 99);
  } else {
    GetExitCodeProcess(plugin.process.hProcess, &status);
    Check(status == 0, "exit status " + std::to_string(status));
  }
  Check(!IsWindow(plugin.window), "the window outlived the process");
  channel.Close();
  CloseHandle(plugin.process.hProcess);
  CloseHandle(plugin.process.hThread);
  std::printf("%s mode: %d failures, %.2f s in all\n", mode.c_str(), g_failures, Seconds(started));
  return g_failures;
}

// Ends a run that hangs, with its plug-in, long before the test's own time-out.
DWORD WINAPI Watchdog(void*) {
  Sleep(300000);
  std::printf("FAIL the run took more than 300 s\n");
  std::fflush(stdout);
  if (g_plugin != nullptr) TerminateProcess(g_plugin, 99);
  ExitProcess(100);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7 || (std::string(argv[1]) != "window" && std::string(argv[1]) != "dde")) {
    std::fprintf(stderr,
                 "usage: tvx-winhost window|dde <plug-in> <caption> <service> <work> <count>\n");
    return 2;
  }
  CloseHandle(CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr));
  const int failures = Run(argv[1], argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]));
  return failures > 100 ? 100 : failures;
}
