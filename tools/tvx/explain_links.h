// Which block line came from which read: the property block is written from the decoder's
// stored values alone, so this is found out by experiment.
#pragma once

#include "explanation.h"

namespace tvx::tool {

// Fills the explanation's block-line sources. Each read's bytes are changed (all their bits,
// then the lowest bit of each) and the stream decoded again; a read whose change leaves the
// decode's path as it was (the same reads at the same positions) and changes a line is where
// that line's value came from. A line no such read changes is a start value when a decode of no
// bytes writes it too; otherwise it came from the reads whose change changed it and at most a
// few lines in all (the code of a one-byte property such as Visible), or it is not traced (its
// bytes lay past the end of the file, or every read that changes it changes much of the block,
// as a count does). Lines are compared as a longest common subsequence, so that a line added
// above another does not count as a change of it. Streams whose reads times bytes are very
// large are left unlinked.
void LinkBlockLines(Explanation& e, Decoder& decoder, const Request& request, InputSource& file);

}  // namespace tvx::tool
