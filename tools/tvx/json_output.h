// tvx's JSON: every document is an object whose "schema" member names the version of these
// conventions and whose "kind" member says what it holds. Member names are snake_case; numbers
// are JSON numbers; places are "position" (1-based) and "offset" (0-based). Stream texts are
// strings whose characters are the bytes' numbers (bytes 0x80 to 0xFF as U+0080 to U+00FF, so
// that Python's s.encode('latin-1') gives the bytes back). A path is the same string when it is
// valid UTF-8; otherwise "file" holds it with each invalid byte as U+FFFD and "file_bytes" holds
// its bytes as a stream text. Everything outside ASCII is written as \u escapes, so no byte of
// the output reaches a terminal as a control.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "cli.h"
#include "tvx/decode_run.h"

namespace tvx::tool {

using Json = nlohmann::ordered_json;

// The version of tvx's JSON; it changes when a member changes its meaning or goes away.
inline constexpr std::string_view kJsonSchema = "tvx/1";

// {"schema": ..., "kind": kind}
Json JsonDocument(std::string_view kind);
// A stream text: each byte the character of the same number.
Json JsonBytes(std::string_view bytes);
// The path as UTF-8 text: as it is when it is valid UTF-8, otherwise with each byte that is not
// part of valid UTF-8 as U+FFFD.
std::string Utf8Path(std::string_view path);
// The members "file" (and "file_bytes" for a path that is not valid UTF-8).
void AddJsonFile(Json& object, std::string_view path);
// A whole number as a JSON integer (a position, a count); anything else as it is.
Json JsonNumber(double value);
// The members "position" and "offset" of a 1-based position.
void AddJsonPlace(Json& object, double position);
// The CR LF lines of `text` without their line ends, as stream texts.
Json JsonLines(std::string_view text);
// The members of a decode: "stop" (code, text, position, offset, byte), "picture" (its size, or
// null), "listing" and "block".
void AddJsonDecode(Json& object, const DecodeOutput& decoded);
// The document as text: indented, or on one line (JSON Lines), ended by a line feed.
std::string JsonText(const Json& document, bool oneLine = false);
// The document on `out`: indented, or on one line (JSON Lines), ended by a line feed.
void WriteJson(Output& out, const Json& document, bool oneLine = false);

}  // namespace tvx::tool
