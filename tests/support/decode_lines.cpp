#include "decode_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  return DecodeBytes(decoder, hexstream::Parse(hex), offsets);
}

bool HasLine(const std::vector<std::string>& lines, std::string_view line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

DecodedLines DecodeBytes(Decoder& decoder, std::string_view bytes, bool offsets) {
  BytesInput input(bytes);
  StreamReader reader(input, 1);
  DecodeContext ctx(reader, offsets);
  decoder.Reset();
  decoder.ReadStream(ctx);
  BlockWriter out(decoder.Info().labelWidth);
  decoder.WriteBlock(out);
  return {SplitLines(ctx.Out().Text()), SplitLines(out.Text())};
}

std::string BlockValue(const DecodedLines& d, std::string_view name) {
  for (const std::string& line : d.block) {
    if (line.rfind(name, 0) != 0) continue;
    const std::size_t equals = line.find_first_not_of(' ', name.size());
    if (equals != std::string::npos && line.compare(equals, 2, "= ") == 0) {
      return line.substr(equals + 2);
    }
  }
  ADD_FAILURE() << "no block line for " << name;
  return {};
}

}  // namespace tvx::testing
