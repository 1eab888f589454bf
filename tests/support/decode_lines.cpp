#include "decode_lines.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "hexstream.h"

namespace tvx::testing {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
    lines.push_back(text.substr(from, at - from));
    from = at + 2;
  }
  EXPECT_EQ(from, text.size()) << "text does not end with CR LF";
  return lines;
}

DecodedLines DecodeHex(Decoder& decoder, const std::string& hex, bool offsets) {
  const std::string bytes = hexstream::Parse(hex);
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  DecodeContext ctx(reader, offsets);
  decoder.ParseControl(ctx);
  BlockWriter out(decoder.Info().labelWidth);
  decoder.WriteToFile(out);
  return {SplitLines(ctx.Out().Text()), SplitLines(out.Text())};
}

}  // namespace tvx::testing
