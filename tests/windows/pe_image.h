// Just enough of a PE image to check how a Windows program was built: its machine, its
// subsystem and the functions it imports from each DLL.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tvx::testing {

struct PeImage {
  std::uint16_t machine = 0;        // 0x8664 for x86-64
  std::uint16_t optionalMagic = 0;  // 0x20B for PE32+
  std::uint16_t subsystem = 0;      // 2 = Windows GUI, 3 = console
  // DLL name in lower case -> imported function names (ordinal imports as "#<n>").
  std::map<std::string, std::vector<std::string>> imports;
};

// Nothing when the bytes are not a well-formed PE image.
std::optional<PeImage> ParsePeImage(const std::string& bytes);

}  // namespace tvx::testing
