#include "commands.h"

namespace tvx::tool {

const char kUsage[] =
    "usage: tvx COMMAND ARGUMENTS\n"
    "\n"
    "  tvx decode CONTROL FILE POSITION [--offsets] [--picture PATH]\n"
    "      the listing, then the property block, exactly as the control's plug-in writes them\n"
    "  tvx explain CONTROL FILE POSITION\n"
    "      every value of the property stream with its position, bytes and meaning\n"
    "  tvx host PLUGIN FILE POSITION [Y|N]\n"
    "      one request to a built plug-in program through its exchange channel\n"
    "\n"
    "tvx COMMAND --help tells more about a command.\n";

const char kDecodeHelp[] =
    "usage: tvx decode CONTROL FILE POSITION [--offsets] [--picture PATH]\n"
    "\n"
    "Runs the decoder of CONTROL on the property stream that starts at POSITION in the\n"
    "compiled program FILE and writes to standard output the listing, then the property\n"
    "block, byte for byte as the plug-in writes its two files (lines end with CR LF).\n"
    "Nothing is written anywhere else.\n"
    "\n"
    "  CONTROL    a deliverable name or its control class word, in any case (tvx --help\n"
    "             lists them)\n"
    "  FILE       the compiled program file (a regular file)\n"
    "  POSITION   1-based byte position of the stream, in decimal as a request carries it\n"
    "             (a fraction is rounded half to even) or in hexadecimal as 0x401\n"
    "  --offsets  annotate the listing with offset lines, as a request with the flag Y does\n"
    "  --picture PATH\n"
    "             write the picture the stream holds, if any, to PATH\n"
    "\n"
    "Exit status: 0 done, 1 the file cannot be read or the picture not written,\n"
    "2 bad arguments.\n";

const char kExplainHelp[] =
    "usage: tvx explain CONTROL FILE POSITION\n"
    "\n"
    "Decodes the property stream as tvx decode does and shows every value read, in order:\n"
    "its position (decimal/hex), its bytes in hexadecimal and what it was read as (a code\n"
    "and the property it stands for, or a value), followed by the listing lines it produced\n"
    "(marked =>). Headings mark section A, the control block and section B. The last lines\n"
    "tell where the decode stopped and why: the end code, \"Unexpected end of file\" or the\n"
    "control's stop line. Every byte from POSITION to where the decode stopped is shown\n"
    "exactly once. Bytes of texts are shown as \\xHH when they are not printable.\n"
    "\n"
    "CONTROL, FILE and POSITION are as for tvx decode (see tvx decode --help).\n"
    "Exit status: 0 done, 1 the file cannot be read, 2 bad arguments.\n";

const char kHostHelp[] =
    "usage: tvx host PLUGIN FILE POSITION [Y|N]\n"
    "\n"
    "Starts the plug-in program PLUGIN, writes one request for FILE and POSITION (with the\n"
    "offsets flag, N when left out) followed by the end mark to its exchange channel, waits\n"
    "for its reply, shows the reply and the files it wrote in its own directory, then sends\n"
    "the end message and waits for the program to end.\n"
    "\n"
    "  PLUGIN     a path to a plug-in program, or a deliverable name or class word whose\n"
    "             program (NAME.tvx) lies beside tvx\n"
    "  FILE       the compiled program file; it must not contain \"#\" or \"@\", which a\n"
    "             request cannot carry\n"
    "  POSITION   as for tvx decode; a hexadecimal position is sent in decimal\n"
    "  Y|N        Y asks for offset lines in the listing\n"
    "\n"
    "The plug-in's files (TEVOLIBFILE.TMP, TEVOLIBFILE2.TMP, TEVOGRAPHICFILE1.TMP) are\n"
    "replaced in the plug-in's directory, as they are when the host uses it.\n"
    "Exit status: 0 done, 1 the file cannot be read or the plug-in failed, 2 bad arguments.\n";

}  // namespace tvx::tool
