#include <algorithm>

#include "commands.h"

namespace tvx::cli {

namespace {

using O = Option;

constexpr Operand kControl{"CONTROL",
                           "a deliverable name, its control class word or a class name that tvx "
                           "scan prints, in any case (the list is in 'tvx help')"};
constexpr Operand kFile{"FILE",
                        "the compiled program file (a regular file), or - for standard input"};
constexpr Operand kPosition{"POSITION",
                            "where the property stream starts: 1-based, as the host counts and "
                            "sends it, in decimal (a fraction is rounded half to even, with a "
                            "warning) or as 0x hexadecimal (still 1-based)"};
constexpr Operand kPaths{"PATH",
                         "a file, a folder (its files and subfolders, in the byte order of their "
                         "names) or - for standard input"};

using Groups = std::vector<std::vector<std::vector<Option>>>;

template <typename T>
std::vector<T> Join(std::vector<T> first, const std::vector<T>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

// The options that pick the records a scan finds: scan's and the report's.
const Groups kSelection = {{{O::kClass}},    {{O::kAll}},        {{O::kName}},   {{O::kForm}},
                           {{O::kPosition}}, {{O::kFileOffset}}, {{O::kFollow}}, {{O::kJobs}}};

std::vector<CommandOption> SelectionOptions(std::string_view allHelp) {
  return {{O::kClass},
          {O::kAll, allHelp},
          {O::kName},
          {O::kForm},
          {O::kPosition},
          {O::kFileOffset,
           "only the record whose stream starts at this 0-based offset, as the offset column of "
           "tvx scan shows it (decimal or 0x hexadecimal)"},
          {O::kFollow},
          {O::kJobs}};
}

Command DecodeEntry() {
  return {"decode",
          "CONTROL FILE POSITION",
          {{{O::kOffsets}}, {{O::kBlock}, {O::kListing}}, {{O::kPicture}}, {{O::kJson}}},
          {{O::kOffsets},
           {O::kBlock},
           {O::kListing},
           {O::kPicture},
           {O::kJson,
            "one JSON document: schema, kind, control, file, position, offset, offsets, stop, "
            "picture, listing, block"},
           {O::kFileOffset}},
          {kControl, kFile, kPosition},
          "the listing, then the property block, exactly as the control's plug-in writes them",
          "Runs the decoder of CONTROL on the property stream that starts at POSITION in the "
          "compiled program FILE and writes to standard output the listing, then the property "
          "block, byte for byte as the plug-in writes its two files (lines end with CR LF), as the "
          "decode makes them. On a terminal, bytes that are not printable are shown as \\xHH and "
          "lines end with a plain line feed; piped or redirected, the output is the files' bytes. "
          "Nothing is written anywhere else.",
          DecodeCommand};
}

Command ExplainEntry() {
  return {
      "explain",
      "CONTROL FILE POSITION",
      {{{O::kOffsets}}, {{O::kLimit}}, {{O::kWhole}}, {{O::kJson}}},
      {{O::kOffsets, "decode as a request with the flag Y does (offset lines in the listing)"},
       {O::kLimit},
       {O::kWhole},
       {O::kJson,
        "one JSON document: schema, kind, control, file, position, offset, file_size, cut, "
        "values, listing, listing_before_reads, block, stop, picture, stopped, accounted"},
       {O::kFileOffset}},
      {kControl, kFile, kPosition},
      "every value of the property stream with its position, bytes and meaning, and each "
      "property-block line with the bytes it came from",
      "Decodes the property stream as tvx decode does and shows every value read, in order: "
      "its position and offset, its bytes in hexadecimal and what it was read as (a code and "
      "the property it stands for, or a value as the decoder reads it), followed by the listing "
      "lines it produced (marked =>). Headings mark section A, the control block and section B. "
      "Then where the decode stopped and why (the end code, \"Unexpected end of file\" or the "
      "control's stop line), and every property-block line with the positions of the bytes it "
      "came from (found by changing each value's bytes and decoding again), or \"not from the "
      "stream\" for a start value. Every byte from POSITION to where the decode stopped is "
      "shown exactly once. Bytes of texts are shown as \\xHH when they are not printable. On a "
      "terminal the table is coloured (see --color).",
      ExplainCommand};
}

Command ScanEntry() {
  return {
      "scan",
      "PATH...",
      Join(kSelection, {{{O::kControl}},
                        {{O::kHas}},
                        {{O::kDecode, O::kListing}, {O::kOut}},
                        {{O::kFields, O::kCsv, O::kTable}},
                        {{O::kOffsets}},
                        {{O::kJson}}}),
      Join(SelectionOptions({}),
           {{O::kControl},
            {O::kHas},
            {O::kDecode},
            {O::kListing, "with --decode: the listing too, before the block"},
            {O::kOut},
            {O::kFields},
            {O::kCsv},
            {O::kTable},
            {O::kOffsets, "with --decode or --out: listings with offset lines"},
            {O::kJson,
             "JSON Lines: one object per record (with --decode also its stop, picture, "
             "properties, listing and block), then one summary object"}}),
      {kPaths},
      "every control of a known class in compiled programs, folders of them or any bytes, and "
      "what each decodes to",
      "Finds every control of a known class in the files PATH, in one pass over each: each "
      "control on a compiled form is stored as a record (a word n, the control's name of n "
      "bytes, 00, FF, a word m, its class name of m bytes, 00, then its property stream), "
      "recognised where the name is an identifier preceded by its length and the class name is "
      "followed by its 00. Any file is scanned: one that is not a Windows program (no MZ and PE "
      "header) is scanned as raw bytes, with a note on standard error when it was named (files "
      "found in a folder are counted in the summary).\n\n"
      "One line per record of a known class, in file order: the stream's position (what the "
      "host sends) and offset, the control's name (Name(Index) for an element of a control "
      "array, the index read from its stream), its class name, the control (deliverable) that "
      "decodes it and the form whose image in the program holds it (- for none; an image that "
      "overlaps another or runs past the end of the file gives no form). With a folder or more "
      "than one PATH, piped lines start with the file's path and a colon; on a terminal each "
      "file's records follow a line with its path, and each form's a line naming it, under one "
      "header line. A summary goes to standard error: records per control, and how many of "
      "other classes were passed over. Class names compare without regard to case.\n\n"
      "With --fields, a table instead: a row per record, a column per field, properties "
      "included (tvx scan DIR --fields file,name,Connect,UserName,Password --csv lists where "
      "each data control's data is and with what credentials).\n\n"
      "On a terminal, a scan that runs longer than a second shows its progress on one line of "
      "standard error. Memory stays at a few MiB whatever the input.",
      ScanCommand};
}

Command OutlineEntry() {
  return {
      "outline",
      "PATH...",
      kSelection,
      SelectionOptions("the records of every class; \"-\" for the control of those no plug-in "
                       "decodes"),
      {kPaths},
      "each program's forms and, under each, its controls with their indexes and positions",
      "Writes the outline of the programs PATH, found in one pass over each as tvx scan finds "
      "them: each file's path, then its forms in file order, each as its kind (form, MDI form), "
      "its name and where its image lies in the file, and under each form the records its "
      "image holds: the control's name, as Name(Index) for one of a control array, the control "
      "that decodes it and its stream's position and offset. Records in no form's image are "
      "listed under \"in no form\" where they lie. An image that overlaps another, or whose "
      "size runs past the end of the file, gives no form: it is listed with the reason, and its "
      "records are in no form. --form picks forms by name (any case). A summary goes to "
      "standard error.",
      OutlineCommand};
}

Command HostEntry() {
  return {
      "host",
      "PLUGIN FILE POSITION",
      {{{O::kOffsets}}, {{O::kTimeout}}, {{O::kJson}}},
      {{O::kOffsets,
        "ask for offset lines in the listing (the flag Y; a last argument Y or N, in any case, "
        "says the same)"},
       {O::kFileOffset},
       {O::kTimeout},
       {O::kJson,
        "one JSON document: the request, the reply, the files written, the plug-in's listing "
        "and block, its exit status and how the decode ended"}},
      {{"PLUGIN",
        "a path to a plug-in program, or a deliverable name, class word or class name whose "
        "program (NAME.tvx) lies beside tvx or in ../libexec/tvx from it"},
       {"FILE",
        "the compiled program file; it must not contain \"#\" or \"@\", which a request cannot "
        "carry, and cannot be - (a plug-in reads files only)"},
       {"POSITION", "as for tvx decode; a hexadecimal position or an offset is sent in decimal"}},
      "one request to a built plug-in program through its exchange channel",
      "Starts the plug-in program PLUGIN, writes one request for FILE and POSITION followed by "
      "the end mark to its exchange channel, waits for its reply, shows the reply and the files "
      "it wrote in its own directory, then sends the end message and waits for the program to "
      "end. A plug-in that exits or is killed before it answers is reported with its exit "
      "status or signal. The plug-in's files (TEVOLIBFILE.TMP, TEVOLIBFILE2.TMP, "
      "TEVOGRAPHICFILE1.TMP) are replaced in its directory, as they are when the host uses it.",
      HostCommand};
}

Command PropertiesEntry() {
  return {
      "properties",
      "[CONTROL]",
      {},
      {},
      {{"CONTROL",
        "a deliverable name, its control class word or a class name, in any case; "
        "without it, every control"}},
      "what each property of a control's block is: type, meaning, values, where it is stored",
      "Writes the reference of CONTROL's properties, as Markdown: each property its block may "
      "hold, in the block's order, with its type (as tvx's JSON names it), what it is, what the "
      "block writes when the stream holds none of it, the values it may take with the "
      "constants' names, and where the stream keeps it. Without CONTROL, the whole reference, "
      "which is the document docs/properties.md.",
      PropertiesCommand};
}

Command ReportEntry() {
  return {
      "report",
      "PATH... -o FILE.html",
      Join(kSelection, {{{O::kStream}}, {{O::kOffsets}}, {{O::kShareable}}}),
      Join(Join({{O::kOutput}},
                SelectionOptions("the records of every class; those no plug-in decodes are "
                                 "listed, not decoded")),
           {{O::kStream}, {O::kOffsets, "listings with offset lines"}, {O::kShareable}}),
      {kPaths},
      "one self-contained HTML page of the programs' controls: blocks, listings, pictures and "
      "the stream bytes each line came from",
      "Writes one HTML page that shows every control of a known class in the compiled programs "
      "PATH, found and picked as tvx scan finds and picks them: per program its records (name, "
      "class, control, position and offset), a filter box, and for each record its property "
      "block, its listing and the stream's bytes, each value's bytes linked both ways to the "
      "lines they feed (the links tvx explain works out); pictures are shown where the browser "
      "can show them, and can be saved. The page holds everything (styles, script, pictures, "
      "data), fetches nothing and needs no server: it can be passed on as it is. A record whose "
      "decode ended early is named on standard error with how it ended.",
      ReportCommand};
}

Command HelpEntry() {
  return {"help",
          "[COMMAND]",
          {},
          {},
          {},
          "this overview, or a command's help",
          "The overview of the commands, or with COMMAND that command's help (the same as 'tvx "
          "COMMAND --help').",
          HelpCommand};
}

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {DecodeEntry(),  ExplainEntry(), ScanEntry(),
                                             OutlineEntry(), HostEntry(),    PropertiesEntry(),
                                             ReportEntry(),  HelpEntry()};
  return table;
}

}  // namespace

std::span<const Command> Commands() {
  return Table();
}

const Command* FindCommand(std::string_view name) {
  const auto it = std::find_if(Table().begin(), Table().end(),
                               [name](const Command& c) { return c.name == name; });
  return it == Table().end() ? nullptr : &*it;
}

}  // namespace tvx::cli
