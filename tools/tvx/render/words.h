// tvx's phrases: places, how a decode ended, what a value was read as, the frame's parts,
// counts and amounts. Texts from the stream are put in as bytes; a terminal's view makes them
// printable (text.h), JSON carries them as stream texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "decode.h"
#include "explanation.h"
#include "places.h"
#include "record.h"

namespace tvx::render {

// "0x400": the 0-based offset of a position, in hexadecimal.
std::string OffsetText(core::Position position);
// "1025 (0x400)": a position and its offset, for a sentence.
std::string PlaceText(core::Position position);

// How a decode ended, in words, with where.
std::string StopText(const core::StopInfo& stop);

// What a value was read as: "code 11: Tag", "word 6", "long -225", "UTF-16 text "Merlin"" (the
// text's bytes as they are), with a note when the file ends inside it.
std::string ValueWords(const core::ExplainedValue& value);
// "zero-terminated text", "UTF-16 text", ...
std::string_view ReadKindWords(ReadKind kind);
// "section A from position 1025 (0x400): extender codes, up to code 45", ...
std::string PartHeading(FramePart part, core::Position at);
// Where and why an explained decode stopped: "after position 1074 (0x431): end code 255". For
// a stop line, `stopLine` is the line the stopping code wrote.
std::string StoppedWords(const core::Explained& e, std::string_view stopLine);

// What a property is and what its value means, for people: "enumerated: 3 adUseClient",
// "colour: system colour 5, vbWindowBackground (the stream holds 2147483653)", "flags: 0x4
// cdlOFNHideReadOnly/cdlCCPreventFullOpen, ...", "text".
std::string PropertyWords(const core::Property& property);

// "3 records", "1 file".
std::string Plural(std::uint64_t n, std::string_view word);
// "12.3 MB": a count of bytes for people, in decimal units.
std::string Amount(double bytes);
// The known controls, one "  NAME (ClassWord; class names)" per line.
std::string KnownControls();
// "exit status 3" or "ended by signal 9".
std::string EndWords(int status);

}  // namespace tvx::render
