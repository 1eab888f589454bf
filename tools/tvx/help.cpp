// The help texts. Each command's usage line is its synopsis in the command table; what follows
// it is here.
#include <string>

#include "commands.h"
#include "inputs.h"
#include "text_output.h"

namespace tvx::tool {

namespace {

constexpr std::string_view kExitStatus =
    "Exit status: 0 the decode reached the stream's end code; 3 it ended early (the stream is\n"
    "cut, or a code stopped it), with one line on standard error saying why; 2 the arguments\n"
    "are wrong; 1 the file cannot be read, or standard output or a file cannot be written.\n";

constexpr std::string_view kControlAndFile =
    "  CONTROL    a deliverable name, its control class word or a class name that tvx scan\n"
    "             prints, in any case (the list is in 'tvx help')\n"
    "  FILE       the compiled program file (a regular file), or - for standard input\n";

constexpr std::string_view kPositionHelp =
    "  POSITION   where the property stream starts: 1-based, as the host counts and sends it,\n"
    "             in decimal (a fraction is rounded half to even, with a warning) or as 0x\n"
    "             hexadecimal (still 1-based)\n"
    "  --file-offset OFFSET\n"
    "             instead of POSITION: the 0-based offset of the stream's first byte, as a hex\n"
    "             dump shows it (decimal or 0x hexadecimal); --file-offset 0x400 is position\n"
    "             1025\n";

constexpr std::string_view kCommonHelp =
    "  --color WHEN\n"
    "             colours: auto (on a terminal, unless NO_COLOR is set), always or never\n"
    "  -q, --quiet\n"
    "             no summary, note or progress line on standard error; errors and warnings\n"
    "             still show\n";

}  // namespace

std::string Overview() {
  std::string text = "usage: tvx COMMAND ARGUMENTS\n\n";
  for (const Command& c : Commands()) {
    text += "  " + std::string(c.synopsis) + "\n";
    std::string_view summary = c.summary;
    while (!summary.empty()) {
      const std::size_t end = summary.find('\n');
      text += "      " + std::string(summary.substr(0, end)) + "\n";
      summary.remove_prefix(end == std::string_view::npos ? summary.size() : end + 1);
    }
  }
  text +=
      "  tvx --version\n"
      "      tvx's version\n"
      "\n"
      "FILE is a compiled program file, or - for standard input. Options take their value as\n"
      "--name VALUE or --name=VALUE. Every command takes --color WHEN and -q. 'tvx help\n"
      "COMMAND' tells more about a command.\n"
      "\n"
      "Places in a file: a position is 1-based and decimal (the number the host sends); an\n"
      "offset is 0-based and written 0x... (what a hex dump shows). Position 1025 is offset\n"
      "0x400.\n"
      "\n"
      "The controls (deliverable name, control class word; class names):\n";
  return text + KnownControls();
}

std::string DecodeDetails() {
  return std::string(
             "Runs the decoder of CONTROL on the property stream that starts at POSITION in the\n"
             "compiled program FILE and writes to standard output the listing, then the property\n"
             "block, byte for byte as the plug-in writes its two files (lines end with CR LF).\n"
             "On a terminal, bytes that are not printable are shown as \\xHH and lines end with\n"
             "a plain line feed; piped or redirected, the output is the files' bytes. Nothing is\n"
             "written anywhere else.\n"
             "\n") +
         std::string(kControlAndFile) + std::string(kPositionHelp) +
         "  --offsets  annotate the listing with offset lines, as a request with the flag Y does\n"
         "  --block    only the property block\n"
         "  --listing  only the listing\n"
         "  --picture PATH\n"
         "             write the picture the stream holds, if any, to PATH; - writes it to\n"
         "             standard output instead of the listing and block (not to a terminal)\n"
         "  --json     one JSON document (schema, kind, control, file, position, offset,\n"
         "             offsets, stop, picture, listing, block; see the documentation)\n" +
         std::string(kCommonHelp) + "\n" + std::string(kExitStatus);
}

std::string ExplainDetails() {
  return std::string(
             "Decodes the property stream as tvx decode does and shows every value read, in\n"
             "order: its position and offset, its bytes in hexadecimal and what it was read as\n"
             "(a code and the property it stands for, or a value), followed by the listing lines\n"
             "it produced (marked =>). Headings mark section A, the control block and section B.\n"
             "Then where the decode stopped and why (the end code, \"Unexpected end of file\" or\n"
             "the control's stop line), and every property-block line with the positions of the\n"
             "bytes it came from (found by changing each value's bytes and decoding again), or\n"
             "\"not from the stream\" for a start value. Every byte from POSITION to where the\n"
             "decode stopped is shown exactly once. Bytes of texts are shown as \\xHH when they\n"
             "are not printable. On a terminal the table is coloured (see --color).\n"
             "\n") +
         std::string(kControlAndFile) + std::string(kPositionHelp) +
         "  --offsets  decode as a request with the flag Y does (offset lines in the listing)\n"
         "  --limit N  at most N rows of the table (with --json: N values)\n"
         "  --json     one JSON document (schema, kind, control, file, position, offset,\n"
         "             file_size, values, cut, listing, block, stop, picture, stopped,\n"
         "             accounted; see the documentation)\n" +
         std::string(kCommonHelp) + "\n" + std::string(kExitStatus);
}

std::string ScanDetails() {
  return std::string(
             "Finds every control of a known class in the files PATH, in one pass over each: each\n"
             "control on a compiled form is stored as a record (a word n, the control's name of n\n"
             "bytes, 00, FF, a word m, its class name of m bytes, 00, then its property stream),\n"
             "recognised where the name is an identifier preceded by its length and the class "
             "name\n"
             "is followed by its 00. A PATH is a file, a folder (its files and subfolders are\n"
             "scanned, in the byte order of their names) or - for standard input. Any file is\n"
             "scanned: one that is not a Windows program (no MZ and PE header) is scanned as raw\n"
             "bytes, with a note on standard error. One line per record of a known class, in file\n"
             "order: the stream's position (what the host sends) and offset, the control's name,\n"
             "its class name and the control (deliverable) that decodes it; on a terminal a\n"
             "header line names the columns. With a folder or more than one PATH, each line\n"
             "starts with the file's path and a colon. A summary goes to standard error: records\n"
             "per control, and how many of other classes were passed over. Class names compare\n"
             "without regard to case.\n"
             "\n"
             "  --class NAME=CONTROL\n"
             "             decode the class NAME with CONTROL (a deliverable name or class word);\n"
             "             repeatable. For the plug-in host control, whose class name depends on\n"
             "             the plug-in it hosts, or a newer version of a class.\n"
             "  --all      list the records of every class; \"-\" for the control of those no\n"
             "             plug-in decodes\n"
             "  --name NAME, --position POSITION\n"
             "             only the records of this control name (any case) or whose stream "
             "starts\n"
             "             at this position (1-based, decimal or 0x hexadecimal); repeatable\n"
             "  --follow   follow symbolic links inside folders (a loop is reported, not walked)\n"
             "  -j N, --jobs N\n"
             "             scan N files at a time (default: the number of processors, at most "
             "16);\n"
             "             the output is the same, in the same order, whatever N\n"
             "  --decode   after each record's line, its property block as the plug-in writes it\n"
             "             for a request at that position (decoded in this process)\n"
             "  --listing  with --decode: the listing too, before the block\n"
             "  --offsets  with --decode, --out or --json: listings with offset lines\n"
             "  --out DIR  write each record's listing, block and picture to DIR as\n"
             "             NAME-POSITION.listing.txt, NAME-POSITION.block.txt and\n"
             "             NAME-POSITION.EXT, byte for byte as the plug-in writes them (EXT: ico,\n"
             "             cur, bmp, gif, jpg, wmf or emf as the picture's first bytes say, else\n"
             "             bin); with a folder or more than one PATH, in a folder for each file:\n"
             "             its path under DIR\n"
             "  --json     JSON Lines: one object per record, then one summary object (see the\n"
             "             documentation)\n") +
         std::string(kCommonHelp) +
         "\n"
         "On a terminal, a scan that runs longer than a second shows its progress on one line\n"
         "of standard error (not with -q). Memory stays at a few MiB whatever the input.\n"
         "\n"
         "Exit status: 0 every file was read (even with no records); 3 a decoded record's\n"
         "decode ended early; 1 a PATH or a file in a folder cannot be read, or a file cannot\n"
         "be written; 2 the arguments are wrong.\n";
}

std::string HostDetails() {
  return std::string(
             "Starts the plug-in program PLUGIN, writes one request for FILE and POSITION\n"
             "followed by the end mark to its exchange channel, waits for its reply, shows the\n"
             "reply and the files it wrote in its own directory, then sends the end message and\n"
             "waits for the program to end. A plug-in that exits or is killed before it answers\n"
             "is reported with its exit status or signal.\n"
             "\n"
             "  PLUGIN     a path to a plug-in program, or a deliverable name, class word or\n"
             "             class name whose program (NAME.tvx) lies beside tvx or in\n"
             "             ../libexec/tvx from it\n"
             "  FILE       the compiled program file; it must not contain \"#\" or \"@\", which a\n"
             "             request cannot carry, and cannot be - (a plug-in reads files only)\n") +
         std::string(kPositionHelp) +
         "             (a hexadecimal position or an offset is sent in decimal)\n"
         "  --offsets  ask for offset lines in the listing (the flag Y; a last argument Y or N,\n"
         "             in any case, says the same)\n"
         "  --timeout SECONDS\n"
         "             how long to wait for the reply (default 10)\n" +
         std::string(kCommonHelp) +
         "\n"
         "The plug-in's files (TEVOLIBFILE.TMP, TEVOLIBFILE2.TMP, TEVOGRAPHICFILE1.TMP) are\n"
         "replaced in the plug-in's directory, as they are when the host uses it.\n"
         "Exit status: 0 the plug-in answered, wrote its listing and block, and the decode\n"
         "reached the end code; 3 the decode ended early (said on standard error); 2 the\n"
         "arguments are wrong; 1 the plug-in could not be started, did not answer, wrote no\n"
         "listing or block, ended wrongly, or standard output could not be written.\n";
}

std::string ReportDetails() {
  return std::string(
             "Writes one HTML page that shows every control of a known class in the compiled\n"
             "programs PATH (files, or folders walked as tvx scan walks them; the records found\n"
             "as tvx scan finds them): per program its records (name, class,\n"
             "control, position and offset), a filter box, and for each record its property\n"
             "block, its listing and the stream's bytes, each value's bytes linked both ways to\n"
             "the lines they feed (the links tvx explain works out); pictures are shown where the\n"
             "browser can show them, and can be saved. The page holds everything (styles,\n"
             "script, pictures, data), fetches nothing and needs no server: it can be passed on\n"
             "as it is.\n"
             "\n"
             "  -o, --output FILE.html\n"
             "             where the page is written (- for standard output)\n"
             "  --class NAME=CONTROL\n"
             "             decode the class NAME with CONTROL, as for tvx scan; repeatable\n"
             "  --stream CONTROL:POSITION:FILE\n"
             "             also show the stream at POSITION (1-based, or 0x hexadecimal) of FILE,\n"
             "             decoded by CONTROL, as a record without a name; repeatable\n"
             "  --offsets  listings with offset lines\n") +
         std::string(kCommonHelp) +
         "\n"
         "Exit status: 0 the page was written; 3 it was written and a record's decode ended\n"
         "early (shown in the page); 1 a program cannot be read (shown in the page) or the\n"
         "page cannot be written; 2 the arguments are wrong.\n";
}

std::string HelpDetails() {
  return "The overview of the commands, or with COMMAND that command's help (the same as\n"
         "'tvx COMMAND --help').\n";
}

int HelpCommand(const Arguments& args, Streams& io) {
  if (args.positional.size() > 1) return UsageError(io.err, "help", "one command at most");
  if (args.positional.empty()) {
    io.out << Overview();
    return kOk;
  }
  const std::string& name = args.positional.front();
  const Command* command = FindCommand(name);
  if (command == nullptr) {
    return UsageError(io.err, "help", "no command \"" + Printable(name) + "\"");
  }
  io.out << "usage: " << command->synopsis << "\n\n" << command->details();
  return kOk;
}

}  // namespace tvx::tool
