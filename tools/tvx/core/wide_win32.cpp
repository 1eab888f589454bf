#include "wide_win32.h"

#include <windows.h>

namespace tvx::core {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

std::wstring LongPath(const std::string& utf8) {
  const std::wstring path = Wide(utf8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return path;
  full.resize(got);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

std::wstring WithoutLongMark(std::wstring_view path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + std::wstring(path.substr(8));
  if (path.rfind(L"\\\\?\\", 0) == 0) return std::wstring(path.substr(4));
  return std::wstring(path);
}

}  // namespace tvx::core
