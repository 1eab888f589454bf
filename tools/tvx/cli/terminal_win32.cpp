// The console on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "terminal.h"

namespace tvx::cli {

bool IsTerminal(std::FILE* file) {
  return _isatty(_fileno(file)) != 0;
}

void SetUpProcess() {
  // CR LF lines and stream bytes pass unchanged, never a LF turned into CR LF.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool TerminalIsUtf8() {
  return true;
}

namespace {

HANDLE HandleOf(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

}  // namespace

bool IsWideConsole(std::FILE* file) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(file), &mode) != 0;
}

bool WriteToConsole(std::FILE* file, std::string_view utf8) {
  if (utf8.empty()) return true;
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  const wchar_t* at = wide.data();
  DWORD left = static_cast<DWORD>(wide.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(HandleOf(file), at, left, &written, nullptr) || written == 0) return false;
    at += written;
    left -= written;
  }
  return true;
}

}  // namespace tvx::cli
