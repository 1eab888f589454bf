// tvx host on Windows: the plug-in is a program with a window whose edit control is its exchange
// channel, found as a host finds it: the window of the started process whose class is the
// plug-in's and whose caption is set (the plug-in sets it last, once everything is in place).
#include <windows.h>

#include <string>

#include "plugin_session.h"
#include "tvx/protocol.h"
#include "wide_win32.h"

namespace tvx::core {

ProgramState ProgramStateOf(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ProgramState::kMissing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ProgramState::kNotAFile;
  return ProgramState::kProgram;
}

std::string DirectoryOf(const std::string& program) {
  const std::string path = Utf8(WithoutLongMark(LongPath(program)));
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash);
}

std::string PathIn(const std::string& directory, const std::string& name) {
  return directory + "\\" + name;
}

bool HasDirectory(const std::string& path) {
  return path.find_first_of("\\/:") != std::string::npos;
}

std::string FileNameOf(const std::string& path) {
  return path.substr(path.find_last_of("\\/:") + 1);
}

FileStamp StampOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FileStamp stamp;
  stamp.exists = GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data) != 0;
  if (!stamp.exists) return stamp;
  stamp.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp.changed = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                  data.ftLastWriteTime.dwLowDateTime;
  stamp.id =
      (std::uint64_t{data.ftCreationTime.dwHighDateTime} << 32) | data.ftCreationTime.dwLowDateTime;
  return stamp;
}

namespace {

struct WindowSearch {
  DWORD pid;
  HWND found = nullptr;
};

BOOL CALLBACK FindPluginWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char className[64] = {};
  GetClassNameA(hwnd, className, sizeof className);
  if (pid == search->pid && lstrcmpA(className, kWindowClass) == 0 &&
      GetWindowTextLengthA(hwnd) > 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

class WindowSession final : public PluginSession {
 public:
  ~WindowSession() override {
    Stop();
    if (process_.hProcess != nullptr) {
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    if (job_ != nullptr) CloseHandle(job_);
  }

  bool Start(const std::string& program, std::string* error) {
    // The plug-in and whatever it starts are one job, which Stop ends.
    job_ = CreateJobObjectA(nullptr, nullptr);
    if (job_ != nullptr) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::wstring path = Wide(program);
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process_)) {
      *error = "error " + std::to_string(GetLastError());
      process_ = {};
      return false;
    }
    if (job_ != nullptr) AssignProcessToJobObject(job_, process_.hProcess);
    ResumeThread(process_.hThread);
    return true;
  }

  std::string Ask(const std::string& message, std::size_t replySize, int timeoutMs,
                  bool* closed) override {
    *closed = false;
    const DWORD start = GetTickCount();
    const auto left = [&] {
      const DWORD spent = GetTickCount() - start;
      return spent < static_cast<DWORD>(timeoutMs) ? static_cast<DWORD>(timeoutMs) - spent : 0;
    };
    WindowSearch search{process_.dwProcessId};
    while (search.found == nullptr && left() > 0 && !HasEnded()) {
      EnumWindows(&FindPluginWindow, reinterpret_cast<LPARAM>(&search));
      if (search.found == nullptr) Sleep(10);
    }
    if (search.found == nullptr) {
      *closed = HasEnded();
      return {};
    }
    textBox_ = FindWindowExA(search.found, nullptr, "Edit", nullptr);
    if (textBox_ == nullptr) return {};
    // Answered inside the plug-in's handling of the text: the reply stands once this returns.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(textBox_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(message.c_str()),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, left(), &result)) {
      *closed = HasEnded();
      return {};
    }
    std::string text(replySize + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(textBox_, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                             left(), &got)) {
      *closed = HasEnded();
      return {};
    }
    text.resize(got);
    return text;
  }

  void End(const std::string& message, int timeoutMs) override {
    if (textBox_ == nullptr) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(textBox_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(message.c_str()),
                        SMTO_NORMAL | SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &result);
  }

  std::optional<int> Wait(int timeoutMs) override {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }

  void Stop() override {
    if (job_ != nullptr) TerminateJobObject(job_, 1);
    if (process_.hProcess != nullptr && !HasEnded()) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
  }

  std::string Rest() override { return {}; }  // a window has nothing after its reply

 private:
  bool HasEnded() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

  PROCESS_INFORMATION process_{};
  HANDLE job_ = nullptr;
  HWND textBox_ = nullptr;
};

class MutexLock final : public FolderLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  ~MutexLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<PluginSession> StartPlugin(const std::string& program, std::string* error) {
  auto session = std::make_unique<WindowSession>();
  if (!session->Start(program, error)) return nullptr;
  return session;
}

std::unique_ptr<FolderLock> HoldFolder(const std::string& directory) {
  // A folder cannot be locked itself: a mutex named after its full path (without regard to case)
  // stands for it.
  const std::string name = Utf8(WithoutLongMark(LongPath(directory)));
  std::uint32_t hash = 2166136261u;  // FNV-1a of the path, its ASCII letters in lower case
  for (const char c : name) {
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    hash = (hash ^ static_cast<unsigned char>(lower)) * 16777619u;
  }
  const std::string mutexName = "Local\\tvx-host-" + std::to_string(hash);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
  if (mutex == nullptr) return nullptr;
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<MutexLock>(mutex);
}

std::string ToolDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::string utf8 = Utf8(WithoutLongMark(path));
  const std::size_t slash = utf8.find_last_of("\\/");
  return slash == std::string::npos ? "." : utf8.substr(0, slash);
}

std::optional<std::string> PathForPlugin(const std::string& path) {
  // The plug-ins open their input through the ANSI calls, in the system's code page.
  const std::wstring wide = Wide(path);
  if (wide.empty()) return std::string();
  BOOL lost = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                    static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
  std::string ansi(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      ansi.data(), n, nullptr, &lost);
  if (lost) return std::nullopt;
  return ansi;
}

std::string EndText(int status) {
  return "exit status " + std::to_string(static_cast<unsigned>(status));
}

}  // namespace tvx::core
