// Writes the tvx(1) manual page, made from the command and option tables that the help is made
// from: tvx-manpage OUT.
#include <cstdio>
#include <string>

#include "commands.h"
#include "words.h"

namespace {

using namespace tvx::cli;

// Text as roff: backslashes escaped, dashes as minus signs, no line taken for a request.
std::string Roff(std::string_view text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
    lineStart = c == '\n';
  }
  return out;
}

std::string Paragraphs(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = text.find("\n\n");
    out += ".PP\n" + Roff(text.substr(0, end)) + "\n";
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return out;
}

std::string Item(std::string_view label, std::string_view help) {
  return ".TP\n.B " + Roff(label) + "\n" + Roff(help) + "\n";
}

std::string Page() {
  std::string page = ".TH TVX 1 \"\" \"tvx " TVX_VERSION "\" \"User Commands\"\n";
  page +=
      ".SH NAME\ntvx \\- look into the property streams of compiled programs' controls "
      "and drive their plug-ins\n";
  page += ".SH SYNOPSIS\n";
  for (const Command& c : Commands())
    page += ".B " + Roff(Synopsis(c)) + "\n.br\n";
  page += ".B tvx \\-\\-version\n";
  page += ".SH DESCRIPTION\n" +
          Paragraphs(
              "tvx finds the controls of compiled programs, decodes and explains their "
              "property streams exactly as the control's plug-in does, writes an HTML "
              "report of them, and drives a built plug-in through its exchange channel."
              "\n\n"
              "Places in a file: a position is 1-based and decimal (the number the host "
              "sends); an offset is 0-based and written 0x... (what a hex dump shows). "
              "Position 1025 is offset 0x400. FILE is a compiled program file, or - for "
              "standard input.");
  page += ".PP\nThe controls (deliverable name, control class word; class names):\n.nf\n" +
          Roff(tvx::render::KnownControls()) + ".fi\n";
  page += ".SH COMMANDS\n";
  for (const Command& c : Commands()) {
    page += ".SS " + Roff(Synopsis(c)) + "\n" + Paragraphs(c.description);
    for (const Operand& operand : c.operandHelp)
      page += Item(operand.name, operand.help);
    for (const CommandOption& o : c.options) {
      const OptionDefinition& definition = Definition(o.option);
      page += Item(OptionLabel(definition), o.help.empty() ? definition.help : o.help);
    }
  }
  page += ".SH OPTIONS\nEvery command takes these, before or after the command:\n";
  for (const Option o : CommonOptions())
    page += Item(OptionLabel(Definition(o)), Definition(o).help);
  page += Item(OptionLabel(Definition(Option::kVersion)), Definition(Option::kVersion).help);
  page += ".SH EXIT STATUS\n";
  for (const Operand& item : ExitStatuses())
    page += Item(item.name, item.help);
  page += ".SH ENVIRONMENT\n";
  for (const Operand& item : Environment())
    page += Item(item.name, item.help);
  page += ".SH EXAMPLES\n.nf\n" +
          Roff(
              "tvx scan old-builds/ --decode\n"
              "tvx decode agent program.exe 1025 --offsets\n"
              "tvx explain MSComm program.exe 0x14A1 --limit 40\n"
              "tvx scan program.exe --json | jq -r 'select(.kind == \"scan_record\") | .name'\n"
              "tvx report old-builds/ -o controls.html\n"
              "tvx host SERLINK.SerialLink program.exe 5121 --offsets\n") +
          ".fi\n";
  page +=
      ".SH SEE ALSO\nThe documents in share/doc/tvx: docs/tools.md tells every command, its "
      "JSON members and the schema file tools/tvx/tvx.schema.json.\n";
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tvx-manpage OUT\n", stderr);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 1;
  const std::string page = Page();
  const bool written = std::fwrite(page.data(), 1, page.size(), out) == page.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
