// Windows' wide characters and tvx's UTF-8: every name tvx handles is UTF-8 inside, and passes to
// Windows as UTF-16 through the wide calls, so that every name Explorer shows can be opened,
// paths over MAX_PATH too.
#pragma once

#include <string>
#include <string_view>

namespace tvx::core {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The path for a wide file call: made whole (GetFullPathNameW) and marked \\?\ (\\?\UNC\ for a
// share), so that no MAX_PATH applies and no name is changed on the way.
std::wstring LongPath(const std::string& utf8);
// The path as people write it: without the \\?\ mark.
std::wstring WithoutLongMark(std::wstring_view path);

}  // namespace tvx::core
