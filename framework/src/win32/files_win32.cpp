// Program directory and file access on Windows, through the ANSI calls so that paths pass as the
// host wrote them.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "program_win32.h"
#include "tvx/platform.h"
#include "tvx/regular_file.h"

namespace tvx {

namespace win32 {

std::string ProgramPath() {
  // GetModuleFileNameA cuts the path to the buffer without saying so, except by filling it.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};  // longer than any Windows path
    path.resize(path.size() * 2);
  }
}

std::string ProgramName() {
  std::string name = ProgramPath();
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace win32

std::string ProgramDirectory() {
  const std::string path = win32::ProgramPath();
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  // A drive's root keeps its separator ("C:\"); the file names are then joined with a second
  // one, which Windows accepts.
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

// A file on a disk: not a device, pipe, console or directory; when it was opened as itself, not
// a link either.
bool IsRegularFile(HANDLE h, DWORD refused = FILE_ATTRIBUTE_DIRECTORY) {
  if (GetFileType(h) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  return (info.dwFileAttributes & refused) == 0;
}

bool SetPosition(HANDLE h, std::uint64_t position) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
}

bool CutTo(HANDLE h, std::uint64_t length) {
  return SetPosition(h, length) && SetEndOfFile(h);
}

// Opens an output file for writing in place, creating it when missing. A link is opened as
// itself, never followed out of the directory. An earlier file that cannot be written so (a
// read-only file, a link) must not stay behind looking like this run's: it is removed and the
// file created anew. INVALID_HANDLE_VALUE when there is no regular file to write.
HANDLE OpenOutput(const std::string& path) {
  const auto open = [&](DWORD disposition) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  };
  constexpr DWORD kRefused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  HANDLE h = open(OPEN_ALWAYS);
  if (h != INVALID_HANDLE_VALUE && IsRegularFile(h, kRefused)) return h;
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return INVALID_HANDLE_VALUE;
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (!DeleteFileA(path.c_str())) return INVALID_HANDLE_VALUE;  // a link goes, not its target
  h = open(CREATE_NEW);
  if (h != INVALID_HANDLE_VALUE && IsRegularFile(h, kRefused)) return h;
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return INVALID_HANDLE_VALUE;
}

// Largest piece handed to one ReadFile or WriteFile call.
constexpr std::size_t kChunk = 1 << 20;

class Win32FileSystem final : public win32::PluginFiles {
 public:
  explicit Win32FileSystem(std::string directory) : directory_(std::move(directory)) {}

  // Opened anew for every request: telling whether a path still names an open file costs as
  // much as opening it.
  InputSource* OpenInput(const std::string& path) override {
    input_.reset();
    input_ = RegularFile::Open(path);
    return input_.get();
  }

  void ReleaseInput() override { input_.reset(); }

  bool WriteOutput(std::string_view name, std::string_view bytes) override {
    const std::string path = directory_ + "\\" + std::string(name);
    Handle file(OpenOutput(path));
    if (!file.valid()) return false;
    // Written in place and then cut to length: replacing a file by truncating it first makes
    // some file systems wait for the disk at close.
    std::size_t done = 0;
    bool ok = SetPosition(file.get(), 0);
    while (ok && done < bytes.size()) {
      const auto want = static_cast<DWORD>(std::min(kChunk, bytes.size() - done));
      DWORD n = 0;
      ok = WriteFile(file.get(), bytes.data() + done, want, &n, nullptr) && n > 0;
      done += n;
    }
    if (ok && CutTo(file.get(), bytes.size())) return true;
    if (!CutTo(file.get(), 0)) {
      file.Close();
      DeleteFileA(path.c_str());
    }
    return false;
  }

 private:
  std::string directory_;
  std::unique_ptr<RegularFile> input_;
};

}  // namespace

std::unique_ptr<RegularFile> RegularFile::Open(const std::string& path, std::string* why) {
  const auto fail = [why](const char* reason) -> std::unique_ptr<RegularFile> {
    if (why != nullptr) *why = reason;
    return nullptr;
  };
  if (path.empty() || path.find('\0') != std::string::npos) return fail("not a file name");
  // OPEN_EXISTING never creates the file; a directory does not open without backup semantics;
  // devices, pipes and consoles are turned away below before anything is read, so nothing is
  // ever waited on. Another process may hold the file open for writing, or delete it.
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return fail("No such file or directory");
    }
    if (error == ERROR_ACCESS_DENIED) return fail("Permission denied");
    return fail("cannot be opened");
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!IsRegularFile(h) || !GetFileInformationByHandle(h, &info)) {
    CloseHandle(h);
    return fail("not a regular file");
  }
  const std::uint64_t id = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return std::unique_ptr<RegularFile>(
      new RegularFile(reinterpret_cast<std::intptr_t>(h), path, info.dwVolumeSerialNumber, id));
}

RegularFile::~RegularFile() {
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::size_t RegularFile::ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const std::uint64_t at = offset + got;
    if (at > static_cast<std::uint64_t>(INT64_MAX)) break;  // beyond any file
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const auto want = static_cast<DWORD>(std::min(kChunk, size - got));
    DWORD n = 0;
    // At or past the end, ReadFile fails with ERROR_HANDLE_EOF or reads 0 bytes.
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into + got, want, &n, &where) || n == 0) {
      break;
    }
    got += n;
  }
  return got;
}

std::uint64_t RegularFile::Size() {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size) || size.QuadPart < 0) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool RegularFile::StillAt(const std::string&) const {
  return false;
}

std::unique_ptr<win32::PluginFiles> win32::MakePluginFiles(std::string outputDirectory) {
  return std::make_unique<Win32FileSystem>(std::move(outputDirectory));
}

std::unique_ptr<FileSystem> MakeNativeFileSystem(std::string outputDirectory) {
  return win32::MakePluginFiles(std::move(outputDirectory));
}

}  // namespace tvx
