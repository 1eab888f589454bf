// Files on Windows: positioned and sequential reads through a handle, and temporary files that
// are deleted when closed.
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "files.h"
#include "wide_win32.h"

namespace tvx::core {

namespace {

IoError WindowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return {ENOENT, "No such file or directory"};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return {EACCES, "Permission denied"};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return {ENOSPC, "No space left on device"};
    default:
      return {EIO, "Windows error " + std::to_string(error)};
  }
}

class HandleInput : public TemporaryFile {
 public:
  explicit HandleInput(HANDLE handle) : handle_(handle) {}
  HandleInput(const HandleInput&) = delete;
  HandleInput& operator=(const HandleInput&) = delete;
  ~HandleInput() override { CloseHandle(handle_); }

  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override {
    std::size_t got = 0;
    while (got < size) {
      OVERLAPPED at{};
      const std::uint64_t where = offset + got;
      at.Offset = static_cast<DWORD>(where);
      at.OffsetHigh = static_cast<DWORD>(where >> 32);
      const auto want = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
      DWORD n = 0;
      if (!ReadFile(handle_, into + got, want, &n, &at) || n == 0) break;
      got += n;
      if (n < want) break;
    }
    return got;
  }

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }

  bool Append(std::span<const std::uint8_t> bytes, IoError* error) override {
    while (!bytes.empty()) {
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      LARGE_INTEGER end{};
      SetFilePointerEx(handle_, end, nullptr, FILE_END);
      if (!WriteFile(handle_, bytes.data(), want, &n, nullptr) || n == 0) {
        *error = WindowsError(GetLastError());
        return false;
      }
      bytes = bytes.subspan(n);
    }
    return true;
  }

 protected:
  HANDLE handle_;
};

// A file's size and time of last write, as its handle tells them.
std::uint64_t StampOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return 0;
  std::uint64_t stamp = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  stamp = stamp * 1000003u + ((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                              info.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

class HandleSequential final : public SequentialInput {
 public:
  HandleSequential(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {
    if (owned_) opened_ = StampOf(handle_);
  }
  HandleSequential(const HandleSequential&) = delete;
  HandleSequential& operator=(const HandleSequential&) = delete;
  ~HandleSequential() override {
    if (owned_) CloseHandle(handle_);
  }

  bool Next(std::span<std::uint8_t> into, Part* part, IoError* error) override {
    *part = {};
    const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 30));
    DWORD n = 0;
    if (!ReadFile(handle_, into.data(), want, &n, nullptr)) {
      const DWORD code = GetLastError();
      // A pipe whose writer has gone, or the end of a file: the end of the input.
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return true;
      *error = WindowsError(code);
      return false;
    }
    part->read = n;
    return true;
  }

  bool Changed(IoError* error) override {
    if (!owned_ || StampOf(handle_) == opened_) return false;
    *error = {0, "changed while it was read"};
    return true;
  }

 private:
  HANDLE handle_;
  bool owned_;
  std::uint64_t opened_ = 0;
};

HANDLE OpenRegular(const std::string& path, DWORD flags, IoError* error) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    *error = {ENOENT, "not a file name"};
    return INVALID_HANDLE_VALUE;
  }
  const std::wstring wide = LongPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = {EISDIR, "Is a directory"};
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = WindowsError(GetLastError());
    return h;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    *error = {0, "not a regular file"};
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

class WindowsOutputFile final : public OutputFile {
 public:
  WindowsOutputFile(HANDLE handle, std::wstring temporary, std::wstring path)
      : handle_(handle), temporary_(std::move(temporary)), path_(std::move(path)) {}
  WindowsOutputFile(const WindowsOutputFile&) = delete;
  WindowsOutputFile& operator=(const WindowsOutputFile&) = delete;
  ~WindowsOutputFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    if (!committed_) DeleteFileW(temporary_.c_str());
  }

  bool Write(std::span<const std::uint8_t> bytes, IoError* error) override {
    while (!bytes.empty()) {
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      if (!WriteFile(handle_, bytes.data(), want, &n, nullptr) || n == 0) {
        *error = WindowsError(GetLastError());
        return false;
      }
      bytes = bytes.subspan(n);
    }
    return true;
  }

  bool Commit(IoError* error) override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle) ||
        !MoveFileExW(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      *error = WindowsError(GetLastError());
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  HANDLE handle_;
  std::wstring temporary_;
  std::wstring path_;
  bool committed_ = false;
};

}  // namespace

std::filesystem::path FileSystemPath(const std::string& text) {
  // A path that a folder's names could take past MAX_PATH is made whole and marked.
  constexpr std::size_t kRoom = 200;
  const std::wstring wide = Wide(text);
  return wide.size() < kRoom ? std::filesystem::path(wide) : std::filesystem::path(LongPath(text));
}

std::string PathText(const std::filesystem::path& path) {
  return Utf8(WithoutLongMark(path.native()));
}

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, IoError* error) {
  if (!Nameable(path, error)) return nullptr;
  const std::wstring wide = LongPath(path);
  for (DWORD attempt = 0; attempt < 16; ++attempt) {
    const std::wstring temporary =
        wide + L".tvx-" + std::to_wstring(GetTickCount() + attempt * 7919u);
    HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::make_unique<WindowsOutputFile>(h, temporary, wide);
    if (GetLastError() != ERROR_FILE_EXISTS) {
      *error = WindowsError(GetLastError());
      return nullptr;
    }
  }
  *error = {EEXIST, "File exists"};
  return nullptr;
}

std::shared_ptr<InputSource> OpenRegularInput(const std::string& path, IoError* error) {
  HANDLE h = OpenRegular(path, 0, error);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_shared<HandleInput>(h);
}

std::unique_ptr<SequentialInput> OpenSequential(const std::string& path, IoError* error) {
  HANDLE h = OpenRegular(path, FILE_FLAG_SEQUENTIAL_SCAN, error);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<HandleSequential>(h, true);
}

std::unique_ptr<SequentialInput> StandardInputStream() {
  return std::make_unique<HandleSequential>(GetStdHandle(STD_INPUT_HANDLE), false);
}

std::unique_ptr<TemporaryFile> TemporaryFile::Create(IoError* error) {
  wchar_t dir[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, dir);
  const auto fail = [&]() -> std::unique_ptr<TemporaryFile> {
    const IoError why = WindowsError(GetLastError());
    *error = {why.code, "cannot make a temporary file in " +
                            Utf8(std::wstring_view(dir, length <= MAX_PATH ? length : 0)) +
                            " (TMP): " + why.reason};
    return nullptr;
  };
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(dir, L"tvx", 0, name) == 0) {
    return fail();
  }
  HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::unique_ptr<TemporaryFile> none = fail();
    DeleteFileW(name);
    return none;
  }
  return std::make_unique<HandleInput>(h);
}

}  // namespace tvx::core
