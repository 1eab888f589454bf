// The inputs of tvx scan on Windows: a file read in order through its handle (through the ANSI
// calls, so that paths pass as given), and standard input. Holes are read as the zeros they
// hold.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "scan_input.h"

namespace tvx::tool {

namespace {

std::string Reason(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return "Permission denied";
    default:
      return "Windows error " + std::to_string(error);
  }
}

class HandleInput final : public SequentialInput {
 public:
  HandleInput(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {}
  HandleInput(const HandleInput&) = delete;
  HandleInput& operator=(const HandleInput&) = delete;
  ~HandleInput() override {
    if (owned_) CloseHandle(handle_);
  }

  bool Next(std::span<std::uint8_t> into, Part* part, std::string* why) override {
    *part = {};
    const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
    DWORD n = 0;
    if (!ReadFile(handle_, into.data(), want, &n, nullptr)) {
      const DWORD error = GetLastError();
      // A pipe whose writer has gone, or the end of a file: the end of the input.
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return true;
      *why = Reason(error);
      return false;
    }
    part->read = n;
    return true;
  }

 private:
  HANDLE handle_;
  bool owned_;
};

}  // namespace

std::unique_ptr<SequentialInput> OpenSequential(const std::string& path, std::string* why) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    *why = "not a file name";
    return nullptr;
  }
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *why = Reason(GetLastError());
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    *why = "not a regular file";
    return nullptr;
  }
  return std::make_unique<HandleInput>(h, true);
}

std::unique_ptr<SequentialInput> StandardInput() {
  return std::make_unique<HandleInput>(GetStdHandle(STD_INPUT_HANDLE), false);
}

std::FILE* CreateTemporaryFile(std::string* path, std::string* why) {
  char dir[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof dir, dir);
  if (length == 0 || length > MAX_PATH || GetTempFileNameA(dir, "tvx", 0, name) == 0) {
    *why = Reason(GetLastError());
    return nullptr;
  }
  std::FILE* file = std::fopen(name, "w+b");
  if (file == nullptr) {
    *why = "cannot be opened";
    DeleteFileA(name);
    return nullptr;
  }
  *path = name;
  return file;
}

}  // namespace tvx::tool
