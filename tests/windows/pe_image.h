// Just enough of a PE image to check how a Windows program was built: its machine, its
// subsystem and the Windows version it asks for, the functions it imports from each DLL, and
// the texts of its version resource.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tvx::testing {

struct PeImage {
  std::uint16_t machine = 0;        // 0x14C for i386, 0x8664 for x86-64
  std::uint16_t optionalMagic = 0;  // 0x10B for PE32, 0x20B for PE32+
  std::uint16_t subsystem = 0;      // 2 = Windows GUI, 3 = console
  // The oldest Windows the loader accepts the program on: 5.1 is XP, 5.2 XP x64.
  std::uint16_t subsystemMajor = 0, subsystemMinor = 0;
  // DLL name in lower case -> imported function names (ordinal imports as "#<n>").
  std::map<std::string, std::vector<std::string>> imports;
  // The version resource, if any: its fixed file version (major, minor, build, revision) and
  // the texts of its first string table (ASCII texts only), such as "ProductName".
  bool hasVersion = false;
  std::uint16_t fileVersion[4] = {};
  std::map<std::string, std::string> versionTexts;
};

// Nothing when the bytes are not a well-formed PE image.
std::optional<PeImage> ParsePeImage(const std::string& bytes);

}  // namespace tvx::testing
