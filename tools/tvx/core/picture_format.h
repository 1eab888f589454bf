// The format of a picture's bytes, told by its first bytes, as the extension of a file holding it.
#pragma once

#include <string_view>

namespace tvx::core {

// "ico", "cur", "bmp", "gif", "jpg", "wmf" (with or without its placeable header), "emf", or
// "bin" when the first bytes are none of these.
std::string_view PictureExtension(std::string_view bytes);

}  // namespace tvx::core
