#include "cross_check.h"

#include <algorithm>

#include "explanation.h"
#include "provenance.h"

namespace tvx::core {

namespace {

struct Values final : ExplainSink {
  bool Value(const ExplainedValue& v) override {
    spans.push_back({v.position, v.size});
    fed.push_back(v.blockLines);
    return true;
  }
  // Whether a property of its own (not a group, which declares its whole record) declares the
  // value's bytes.
  bool Claimed(const DecodedRecord& record, std::size_t value) const {
    for (const std::size_t line : fed[value]) {
      if (record.blockLines[line].kind == BlockLineKind::kProperty) return true;
    }
    return false;
  }
  std::vector<ByteSpan> spans;
  std::vector<std::vector<std::size_t>> fed;
};

bool Overlap(const ByteSpan& a, const ByteSpan& b) {
  return a.position < b.position + b.size && b.position < a.position + a.size;
}

}  // namespace

CrossChecked CrossCheckLinks(Decoder& decoder, InputSource& input, Position start) {
  CrossChecked result;
  const BlockLinks oracle = LinkBlock(decoder, input, start, false);
  if (!oracle.linked) return result;
  Values values;
  const Explanation x = Explain(decoder, input, start, false, 0, values);
  if (!x.record || x.record->blockLines.size() != oracle.sources.size()) return result;
  result.compared = true;
  const DecodedRecord& record = *x.record;
  for (std::size_t l = 0; l < record.blockLines.size(); ++l) {
    const BlockLineInfo& info = record.blockLines[l];
    if (info.kind != BlockLineKind::kProperty) continue;
    ++result.lines;
    const Property& p = record.properties[*info.property];
    const std::string line(record.BlockLine(l));
    std::vector<ByteSpan> found;
    bool othersOnly = true;  // every value found is declared by another property
    for (const std::size_t v : oracle.values[l]) {
      found.push_back(values.spans[v]);
      othersOnly = othersOnly && values.Claimed(record, v);
    }
    if (found.empty()) {
      for (const ByteSpan& d : p.bytes) {
        if (d.size > 0 && d.position <= x.e.fileSize) {
          result.untraced.push_back("\"" + line + "\"");
          break;
        }
      }
      continue;
    }
    bool any = false;
    bool inFile = false;
    bool pathChosen = false;
    for (ByteSpan declared : p.bytes) {
      // Past the end of the file a read yields zeros that no experiment can change.
      const Position end = std::min(declared.position + declared.size, x.e.fileSize + 1);
      if (end <= declared.position) continue;
      declared.size = end - declared.position;
      inFile = true;
      bool held = false;
      for (const ByteSpan& f : found)
        held = held || Overlap(declared, f);
      any = any || held;
      // A value that chooses the decode's path cannot be changed alone: the experiment cannot
      // find it by design.
      bool choosesPath = false;
      for (std::size_t v = 0; v < values.spans.size(); ++v) {
        choosesPath = choosesPath || (Overlap(declared, values.spans[v]) && oracle.pathChanging[v]);
      }
      pathChosen = pathChosen || choosesPath;
      if (!held && choosesPath) {
        result.pathChoosing.push_back("\"" + line + "\"");
      } else if (!held) {
        result.mismatches.push_back(
            "\"" + line + "\": declared bytes at " + std::to_string(declared.position) + " (" +
            std::to_string(declared.size) + ") hold no value the experiment finds");
      }
    }
    if (inFile && !any && othersOnly && !pathChosen) result.conflicts.push_back("\"" + line + "\"");
    for (const ByteSpan& f : found) {
      bool declared = false;
      for (const ByteSpan& d : p.bytes)
        declared = declared || Overlap(d, f);
      if (!declared) {
        result.beyond.push_back("\"" + line + "\": the experiment finds the value at " +
                                std::to_string(f.position) + ", not declared");
      }
    }
  }
  return result;
}

}  // namespace tvx::core
