// End-to-end cases kept as directories: tests/cases/<Deliverable>/<case>/ holds
//   stream.hex    the program file, as annotated hex (see hexstream.h)
//   request.txt   the request message without its end mark (default "%{input}#1@N");
//                 {input} is the stream's file, {missing} a path that does not exist
//   listing.txt   the expected listing, block.txt the expected property block: lines ended with
//                 LF here, compared as CR LF; the same placeholders apply
//   picture.hex   the expected picture file; without it, the run must not write one
// A deliverable's cases run in name order, all in one plug-in process.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tvx::testing {

struct Case {
  std::string name;
  std::string stream;   // bytes of the program file
  std::string request;  // message without the end mark, placeholders not yet replaced
  std::string listing;  // expected bytes, CR LF, placeholders not yet replaced
  std::string block;
  std::optional<std::string> picture;
};

std::vector<std::string> CaseDeliverables();
std::vector<Case> LoadCases(const std::string& deliverable);

// LF line ends to CR LF.
std::string CrLf(const std::string& text);
std::string Substitute(std::string text, const std::map<std::string, std::string>& values);

}  // namespace tvx::testing
