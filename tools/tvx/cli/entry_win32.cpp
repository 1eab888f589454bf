// tvx's entry point on Windows: the arguments in wide characters, as UTF-8 (whatever the code
// page), so that every name Explorer shows can be given.
#include <windows.h>

#include <string>
#include <vector>

#include "main.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view wide(argv[i]);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
    args.push_back(std::move(utf8));
  }
  return tvx::cli::Main(args);
}
