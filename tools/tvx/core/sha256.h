// SHA-256 of bytes given in pieces, as a picture's digest: the same bytes give the same digest
// wherever they are found.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvx::core {

class Sha256 {
 public:
  Sha256();
  void Add(std::string_view bytes);
  // The digest in lower-case hexadecimal; the object is spent afterwards.
  std::string Hex();

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace tvx::core
