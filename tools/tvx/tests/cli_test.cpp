// tvx_cli in-process: the option parser, and the help, the manual page and the documents made
// from the command and option tables.
#include <gtest/gtest.h>

#include <sstream>

#include "commands.h"
#include "hexstream.h"
#include "options.h"
#include "output.h"

namespace tvx::cli {
namespace {

using O = Option;

TEST(Options, ParsedAsTheToolsPeopleKnow) {
  const std::vector<Option> scan = Accepted(*FindCommand("scan"));
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> operands;
    std::map<Option, std::vector<std::string>> values;
    std::string error;
  };
  const Case cases[] = {
      {{"a", "--json", "b"}, {"a", "b"}, {{O::kJson, {""}}}, ""},
      {{"-qj2", "a"}, {"a"}, {{O::kQuiet, {""}}, {O::kJobs, {"2"}}}, ""},
      {{"-j", "3", "-", "--name=X", "--name", "Y"},
       {"-"},
       {{O::kJobs, {"3"}}, {O::kName, {"X", "Y"}}},
       ""},
      {{"--", "--json", "-q"}, {"--json", "-q"}, {}, ""},
      {{"--color=never", "a"}, {"a"}, {{O::kColor, {"never"}}}, ""},
      {{"-j", "dash.exe"}, {}, {}, "-j takes a number of jobs from 1 to 256, not \"dash.exe\""},
      {{"--jobs=0", "a"}, {"a"}, {}, "--jobs takes a number of jobs from 1 to 256, not \"0\""},
      {{"--quiet=yes"}, {}, {}, "--quiet takes no value"},
      {{"--name"}, {}, {}, "--name needs a value (NAME)"},
      {{"-j"}, {}, {}, "-j needs a value (N)"},
      {{"--nmae", "x"}, {"x"}, {}, "unknown option --nmae; did you mean --name?"},
      {{"--frob"}, {}, {}, "unknown option --frob"},
      {{"-x"}, {}, {}, "unknown option -x"},
      {{"--position", "0x0"},
       {},
       {},
       "--position takes a position: \"0x0\" is not a position: "
       "positions start at 1"},
      {{"--file-offset", "0x20000000000000"},
       {},
       {},
       "--file-offset takes an offset: \"0x20000000000000\" lies beyond any file (offsets go up "
       "to 2^53 - 1)"},
      {{"--class", "A.B"}, {}, {}, "--class takes NAME=CONTROL, not \"A.B\""},
      {{"--class", "A.B=Agent"}, {}, {{O::kClass, {"A.B=Agent"}}}, ""},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.args)
      joined += a + " ";
    SCOPED_TRACE(joined);
    const Parsed parsed = Parse(c.args, scan);
    EXPECT_EQ(parsed.error, c.error);
    if (!c.error.empty()) continue;
    EXPECT_EQ(parsed.operands, c.operands);
    EXPECT_EQ(parsed.values, c.values);
  }
  // The report's -o, and a digit where it was meant.
  const std::vector<Option> report = Accepted(*FindCommand("report"));
  EXPECT_EQ(Parse(std::vector<std::string>{"a", "-ox.html"}, report).Value(O::kOutput), "x.html");
  EXPECT_EQ(Parse(std::vector<std::string>{"a", "-0", "x.html"}, report).error,
            "unknown option -0; did you mean -o?");
  // A word that starts no option and is near none: no suggestion (--all, the one option shorter
  // than it, is no completion of it).
  EXPECT_EQ(Parse(std::vector<std::string>{"a", "--html"}, report).error, "unknown option --html");
  // A capital is taken for its small letter; a digit is no letter (6 is 'V' less 32).
  EXPECT_EQ(Parse(std::vector<std::string>{"-J"}, scan).error,
            "unknown option -J; did you mean -j?");
  EXPECT_EQ(Parse(std::vector<std::string>{"-6"}, LeadingOptions()).error, "unknown option -6");
}

// What a Windows console is given at a time: whole UTF-8 sequences, the start of a last one cut
// short kept for the next write (at most its lead and two of three continuation bytes).
TEST(Output, ConsoleTakesWholeUtf8Sequences) {
  const std::pair<std::string_view, std::size_t> cases[] = {
      {"", 0},
      {"abc", 3},
      {"a\xC3", 1},
      {"a\xC3\xA9", 3},
      {"\xE2\x82", 0},
      {"\xE2\x82\xAC", 3},
      {"\xE0\xA0", 0},  // the lowest leads of three and of two bytes
      {"\xC0", 0},
      {"x\xF0\x9F\x98", 1},
      {"x\xF0\x9F\x98\x80", 5},
      {"\xC3\xA9\xC3", 2},
      {"x\x80\x80\x80\x80", 5},  // continuation bytes with no lead pass as they are
      {"\xE2\x41", 2},           // a lead whose sequence already broke off
  };
  for (const auto& [bytes, whole] : cases)
    EXPECT_EQ(WholeSequences(bytes), whole) << testing::PrintToString(std::string(bytes));
}

// Words laid out greedily: a line takes every word that still fits, up to the width exactly; a
// word longer than a line stands alone.
TEST(Help, WrapFillsEachLineUpToTheWidth) {
  struct Case {
    std::string_view text;
    std::size_t width;
    std::string_view first;
    std::size_t indent;
    std::string expected;
  };
  const Case cases[] = {
      {"aaa bbb ccc", 7, "", 0, "aaa bbb\nccc\n"},
      {"aaa bbb ccc", 6, "", 0, "aaa\nbbb\nccc\n"},
      {"aaa bbb ccc", 10, "> ", 4, "> aaa bbb\n    ccc\n"},
      {"a  abcdefgh b", 5, "", 1, "a\n abcdefgh\n b\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Wrap(c.text, c.width, c.first, c.indent), c.expected) << c.text << " " << c.width;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Within 80 columns, and every option of a command in its help; the usage line, joined again,
// is the command's synopsis and the heading of its section in docs/tools.md.
TEST(Help, FitsEightyColumnsAndMatchesTheDocuments) {
  const std::string docs = hexstream::ReadFile(TVX_DOCS);
  std::vector<std::string> texts = {OverviewHelp()};
  for (const Command& c : Commands()) {
    SCOPED_TRACE(std::string(c.name));
    const std::string help = CommandHelp(c);
    texts.push_back(help);
    const std::string synopsis = Synopsis(c);
    EXPECT_NE(docs.find("\n### " + synopsis + "\n"), std::string::npos) << synopsis;
    EXPECT_NE(OverviewHelp().find("  tvx " + std::string(c.name) + " "), std::string::npos);
    // The usage line and its continuations, joined, give the synopsis back.
    std::string usage;
    for (const std::string& line : Lines(help)) {
      if (line.empty()) break;
      usage += (usage.empty() ? "" : " ") + line.substr(line.find_first_not_of(' '));
    }
    EXPECT_EQ(usage, "usage: " + synopsis);
    for (const CommandOption& o : c.options)
      EXPECT_NE(help.find("--" + std::string(Definition(o.option).name)), std::string::npos);
    EXPECT_NE(help.find("Exit status"), std::string::npos);
    // A label of 10 characters leaves room for its help on the same line, from column 13.
    EXPECT_NE(help.find("\n  -h, --help this help\n"), std::string::npos);
  }
  for (const std::string& text : texts) {
    for (const std::string& line : Lines(text))
      EXPECT_LE(line.size(), 80u) << line;
  }
}

// The manual page has the sections people look for, made from the same tables.
TEST(Help, ManualPage) {
  const std::string page = hexstream::ReadFile(TVX_MANPAGE);
  for (const char* section :
       {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH COMMANDS", ".SH OPTIONS",
        ".SH EXIT STATUS", ".SH ENVIRONMENT", ".SH EXAMPLES"}) {
    EXPECT_NE(page.find(std::string("\n") + section + "\n"), std::string::npos) << section;
  }
  for (const Operand& item : Environment())
    EXPECT_NE(page.find(".B " + std::string(item.name)), std::string::npos) << item.name;
  EXPECT_NE(page.find("\\-\\-file\\-offset"), std::string::npos);
}

}  // namespace
}  // namespace tvx::cli
