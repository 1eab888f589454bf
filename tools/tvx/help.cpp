#include <string>

#include "commands.h"
#include "common.h"

namespace tvx::tool {

namespace {

constexpr std::string_view kExitStatus =
    "Exit status: 0 the decode reached the stream's end code; 3 it ended early (the stream is\n"
    "cut, a code stopped it, the file cannot be read), with one line on standard error saying\n"
    "why; 2 the arguments are wrong; 1 a file or standard output could not be written.\n";

constexpr std::string_view kPositionHelp =
    "  POSITION   where the property stream starts: 1-based, as the host counts and sends it,\n"
    "             in decimal (a fraction is rounded half to even, with a warning) or as 0x\n"
    "             hexadecimal (still 1-based)\n"
    "  --file-offset OFFSET\n"
    "             instead of POSITION: the 0-based offset of the stream's first byte, as a hex\n"
    "             dump shows it (decimal or 0x hexadecimal); --file-offset 0x400 is position\n"
    "             1025\n";

constexpr std::string_view kOverview =
    "usage: tvx COMMAND ARGUMENTS\n"
    "\n"
    "  tvx decode CONTROL FILE POSITION [--offsets] [--picture PATH] [--json]\n"
    "      the listing, then the property block, exactly as the control's plug-in writes them\n"
    "  tvx explain CONTROL FILE POSITION [--limit N] [--json]\n"
    "      every value of the property stream with its position, bytes and meaning, and each\n"
    "      property-block line with the bytes it came from\n"
    "  tvx scan FILE [--class NAME=CONTROL] [--decode [--listing] | --out DIR] [--json]\n"
    "      every control of a known class in a compiled program, and what each decodes to\n"
    "  tvx report PATH... -o FILE.html [--class NAME=CONTROL] [--stream CONTROL:POSITION:FILE]\n"
    "      one HTML page with every control of the programs: blocks, listings, bytes, pictures\n"
    "  tvx host PLUGIN FILE POSITION [--offsets]\n"
    "      one request to a built plug-in program through its exchange channel\n"
    "  tvx help [COMMAND]   this text, or a command's\n"
    "  tvx --version        tvx's version\n"
    "\n"
    "FILE is a compiled program file, or - for standard input. Options take their value as\n"
    "--name VALUE or --name=VALUE. 'tvx COMMAND --help' tells more about a command.\n";

std::string DecodeHelp() {
  return std::string(
             "usage: tvx decode CONTROL FILE POSITION [--offsets] [--picture PATH] [--json]\n"
             "\n"
             "Runs the decoder of CONTROL on the property stream that starts at POSITION in the\n"
             "compiled program FILE and writes to standard output the listing, then the property\n"
             "block, byte for byte as the plug-in writes its two files (lines end with CR LF).\n"
             "On a terminal, bytes that are not printable are shown as \\xHH and lines end with\n"
             "a plain line feed; piped or redirected, the output is the files' bytes. Nothing is\n"
             "written anywhere else.\n"
             "\n"
             "  CONTROL    a deliverable name or its control class word, in any case (the list\n"
             "             is in 'tvx help')\n"
             "  FILE       the compiled program file (a regular file), or - for standard input\n") +
         std::string(kPositionHelp) +
         "  --offsets  annotate the listing with offset lines, as a request with the flag Y does\n"
         "  --picture PATH\n"
         "             write the picture the stream holds, if any, to PATH\n"
         "  --json     one JSON document: control, file, position, offsets, ended (how the\n"
         "             decode ended: \"end code\", \"end of file\", \"stop line\", \"input not\n"
         "             readable\"), picture (its size in bytes, or null), listing and block\n"
         "             (arrays of lines without line ends); each byte of a text is the Unicode\n"
         "             character of the same number\n"
         "\n" +
         std::string(kExitStatus);
}

std::string ExplainHelp() {
  return std::string(
             "usage: tvx explain CONTROL FILE POSITION [--offsets] [--limit N] [--json]\n"
             "\n"
             "Decodes the property stream as tvx decode does and shows every value read, in "
             "order:\n"
             "its position (decimal/hex), its bytes in hexadecimal and what it was read as (a "
             "code\n"
             "and the property it stands for, or a value), followed by the listing lines it "
             "produced\n"
             "(marked =>). Headings mark section A, the control block and section B. Then where\n"
             "the decode stopped and why (the end code, \"Unexpected end of file\" or the\n"
             "control's stop line), and every property-block line with the positions of the bytes\n"
             "it came from (found by changing each value's bytes and decoding again), or \"not\n"
             "from the stream\" for a start value. Every byte from POSITION to where the decode\n"
             "stopped is shown exactly once. Bytes of texts are shown as \\xHH when they are not\n"
             "printable. On a terminal the table is coloured (not with NO_COLOR set).\n"
             "\n"
             "CONTROL, FILE, POSITION, --file-offset and --offsets are as for tvx decode.\n"
             "  --limit N  at most N rows of the table (with --json: N values)\n"
             "  --json     one JSON document: control, file, position, file size, values (one\n"
             "             object per value read: position, size, reader, value, what, and the\n"
             "             listing and block lines it feeds), block (each line and the positions\n"
             "             it came from), ended, stopped, accounted\n"
             "\n") +
         std::string(kExitStatus);
}

std::string ScanHelp() {
  return "usage: tvx scan FILE [--class NAME=CONTROL]... [--decode [--listing] | --out DIR] "
         "[--json]\n"
         "\n"
         "Finds every control of a known class in the compiled program FILE, in one pass:\n"
         "each control on a compiled form is stored as a record (a word n, the control's name\n"
         "of n bytes, 00, FF, a word m, its class name of m bytes, 00, then its property\n"
         "stream), recognised where the name is an identifier preceded by its length and the\n"
         "class name is followed by its 00. One line per record of a known class, in file\n"
         "order: the stream's 1-based position (what the host sends), the same as a 0-based\n"
         "hex offset, the control's name, its class name and the control (deliverable) that\n"
         "decodes it. A summary goes to standard error: records per control, and how many of\n"
         "other classes were passed over. Class names compare without regard to case.\n"
         "\n"
         "  --class NAME=CONTROL\n"
         "             decode the class NAME with CONTROL (a deliverable name or class word);\n"
         "             repeatable. For the plug-in host control, whose class name depends on\n"
         "             the plug-in it hosts, or a newer version of a class.\n"
         "  --decode   after each record's line, its property block as the plug-in writes it\n"
         "             for a request at that position (decoded in this process)\n"
         "  --listing  with --decode: the listing too, before the block\n"
         "  --offsets  with --decode, --out or --json: listings with offset lines\n"
         "  --out DIR  write each record's listing, block and picture to DIR as\n"
         "             NAME-POSITION.listing.txt, NAME-POSITION.block.txt and\n"
         "             NAME-POSITION.picture, byte for byte as the plug-in writes them\n"
         "  --json     an array with one object per record: position, offset, name, class,\n"
         "             control; with --decode also ended, picture, listing and block (as for\n"
         "             tvx decode --json)\n"
         "\n"
         "Exit status: 0 the file was read (even with no records); 3 a decoded record's\n"
         "decode ended early; 1 the file cannot be read or a file cannot be written; 2 the\n"
         "arguments are wrong.\n";
}

std::string HostHelp() {
  return std::string(
             "usage: tvx host PLUGIN FILE POSITION [--offsets]\n"
             "\n"
             "Starts the plug-in program PLUGIN, writes one request for FILE and POSITION "
             "followed\n"
             "by the end mark to its exchange channel, waits for its reply, shows the reply and\n"
             "the files it wrote in its own directory, then sends the end message and waits for\n"
             "the program to end. A plug-in that exits or is killed before it answers is reported\n"
             "with its exit status or signal.\n"
             "\n"
             "  PLUGIN     a path to a plug-in program, or a deliverable name or class word whose\n"
             "             program (NAME.tvx) lies beside tvx\n"
             "  FILE       the compiled program file; it must not contain \"#\" or \"@\", which a\n"
             "             request cannot carry\n") +
         std::string(kPositionHelp) +
         "             (a hexadecimal position or an offset is sent in decimal)\n"
         "  --offsets  ask for offset lines in the listing (the flag Y; a last argument Y or N,\n"
         "             in any case, says the same)\n"
         "\n"
         "The plug-in's files (TEVOLIBFILE.TMP, TEVOLIBFILE2.TMP, TEVOGRAPHICFILE1.TMP) are\n"
         "replaced in the plug-in's directory, as they are when the host uses it.\n"
         "Exit status: 0 the plug-in answered and the decode reached the end code; 3 the decode\n"
         "ended early (said on standard error); 2 the arguments are wrong; 1 the plug-in could\n"
         "not be started, did not answer, ended wrongly, or standard output could not be\n"
         "written.\n";
}

}  // namespace

int Help(std::string_view command, Output& out, Output& err) {
  if (command.empty()) {
    out << kOverview << "\nThe controls (deliverable name and control class word):\n"
        << KnownControls();
  } else if (command == "decode") {
    out << DecodeHelp();
  } else if (command == "explain") {
    out << ExplainHelp();
  } else if (command == "host") {
    out << HostHelp();
  } else if (command == "scan") {
    out << ScanHelp();
  } else if (command == "report") {
    out << ReportHelp();
  } else {
    return UsageError(err, "help", "no command \"" + Printable(command) + "\"");
  }
  return kOk;
}

}  // namespace tvx::tool
