// Fuzz target for the report page: programs and records of any texts and paths (bytes of every
// value, quotes, "</script>", "<!--") make a page whose data elements hold no "<" at all (no text
// can end them or open a comment), parse as JSON, and hold every program and record with its
// texts as they were.
//
// Input layout: texts, each a length byte and that many bytes; in order: per program (up to 3)
// its path and a record count byte (modulo 4), then per record its name, class name, a stream
// text, a listing line, a block line and the stop phrase.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "report/report.h"
#include "text.h"

namespace tvx::fuzz {
namespace {

class Texts {
 public:
  Texts(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::string Next() {
    if (at_ >= size_) return {};
    const std::size_t length = data_[at_++];
    const std::size_t n = std::min(length, size_ - at_);
    std::string text(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return text;
  }
  std::size_t Count(std::size_t most) {
    if (at_ >= size_) return 0;
    return data_[at_++] % (most + 1);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The text between `open` (from `from` on) and the next "</script>".
std::string Element(const std::string& page, const std::string& open, std::size_t* from) {
  const std::size_t start = page.find(open, *from);
  Check(start != std::string::npos, "the page holds its data element", open);
  const std::size_t body = start + open.size();
  const std::size_t end = page.find("</script>", body);
  Check(end != std::string::npos, "the data element is closed", open);
  *from = end;
  return page.substr(body, end - body);
}

}  // namespace
}  // namespace tvx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx;
  using namespace tvx::fuzz;
  Texts in(data, size);
  std::vector<render::ReportProgram> programs(in.Count(3));
  for (render::ReportProgram& program : programs) {
    program.path = in.Next();
    program.records.resize(in.Count(3));
    for (render::ReportRecord& record : program.records) {
      record.name = in.Next();
      record.className = in.Next();
      record.control = "PERSONA.Persona";
      record.position = 1 + record.name.size();
      record.decode.bytes = in.Next();
      record.decode.values.push_back({record.position, record.decode.bytes.size(), "text"});
      record.decode.listing.push_back({in.Next(), {0}, true, ""});
      record.decode.block.push_back({in.Next(), {}, true, "not from the stream"});
      record.decode.stopped = in.Next();
    }
  }
  const std::string page = render::ReportPage(programs, "tvx");
  std::size_t from = 0;
  const std::string summary =
      Element(page, "<script type=\"application/json\" id=\"tvx-data\">", &from);
  Check(summary.find('<') == std::string::npos, "no < in the data", summary);
  const nlohmann::json list = nlohmann::json::parse(summary)["programs"];
  Check(list.size() == programs.size(), "every program in the page");
  for (std::size_t p = 0; p < programs.size(); ++p) {
    Check(list[p]["records"].size() == programs[p].records.size(), "every record in the page");
    for (std::size_t r = 0; r < programs[p].records.size(); ++r) {
      Check(list[p]["records"][r]["name"].get<std::string>() ==
                render::Latin1ToUtf8(programs[p].records[r].name),
            "a record's name as it was");
    }
    const std::string details = Element(
        page, "<script type=\"application/json\" id=\"tvx-program-" + std::to_string(p + 1) + "\">",
        &from);
    Check(details.find('<') == std::string::npos, "no < in a program's details", details);
    const nlohmann::json records = nlohmann::json::parse(details);
    Check(records.size() == programs[p].records.size(), "every record's details");
    for (std::size_t r = 0; r < records.size(); ++r) {
      Check(records[r]["block"][0][0].get<std::string>() ==
                render::Latin1ToUtf8(programs[p].records[r].decode.block[0].text),
            "a block line as it was");
    }
  }
  return 0;
}
