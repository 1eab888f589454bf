// tvx decode and tvx explain: a decoder run in this process on the program file.
#include "commands.h"
#include "controls.h"
#include "decode_text.h"
#include "explain_table.h"
#include "json.h"
#include "support.h"

namespace tvx::cli {

using O = Option;

namespace {

// What a decode or an explanation runs on: the target, its file and the control's decoder. With
// no decoder, `status` is how the command ends: a usage or file error, or the check alone done.
struct Run {
  std::optional<Target> target;
  std::shared_ptr<InputSource> input;
  std::unique_ptr<Decoder> decoder;
  int status = kOk;
};

Run Prepare(std::string_view command, const Parsed& args, Io& io) {
  Run run;
  run.target = TargetOf(command, args, io);
  if (!run.target) {
    run.status = kUsage;
  } else if (!io.checkOnly) {
    run.input = OpenInput(command, run.target->file, io);
    if (run.input) {
      run.decoder = core::NewDecoder(*run.target->control);
    } else {
      run.status = kIoError;
    }
  }
  return run;
}

}  // namespace

int DecodeCommand(const Parsed& args, Io& io) {
  const std::optional<std::string> picture = args.Value(O::kPicture);
  const bool pictureOut = picture == "-";
  const bool json = args.Has(O::kJson);
  if (json && (args.Has(O::kBlock) || args.Has(O::kListing) || pictureOut)) {
    return UsageError(io.err, "decode",
                      "--json goes with neither --block, --listing nor --picture -");
  }
  if (args.Has(O::kBlock) && args.Has(O::kListing)) {
    return UsageError(io.err, "decode",
                      "give --block or --listing, not both (without either, both are written)");
  }
  if (pictureOut && (args.Has(O::kBlock) || args.Has(O::kListing))) {
    return UsageError(io.err, "decode",
                      "--picture - writes only the picture to standard output: it goes with "
                      "neither --block nor --listing");
  }
  if (pictureOut && io.out.Terminal()) {
    return UsageError(io.err, "decode",
                      "--picture - writes the picture's bytes to standard output, which is a "
                      "terminal: redirect it to a file or a pipe");
  }
  const Run run = Prepare("decode", args, io);
  if (!run.decoder) return run.status;
  const std::optional<Target>& target = run.target;
  const std::shared_ptr<InputSource>& input = run.input;
  const std::unique_ptr<Decoder>& decoder = run.decoder;
  const bool listing = json || args.Has(O::kListing) || !args.Has(O::kBlock);
  const core::DecodedRecord record =
      core::Decode(*decoder, *input, target->position, args.Has(O::kOffsets), listing);
  if (json) {
    render::WriteDecodeJson(io.out, target->file, record);
  } else if (pictureOut) {
    render::WritePicture(io.out, record);
  } else {
    const bool both = !args.Has(O::kBlock) && !args.Has(O::kListing);
    render::WriteDecodeText(io.out, record, both || args.Has(O::kListing),
                            both || args.Has(O::kBlock));
  }
  if (picture && !pictureOut && record.picture) {
    const bool written = WriteFile(
        "decode", *picture, [&](render::Writer& file) { render::WritePicture(file, record); }, io);
    if (!written) return kIoError;
  }
  core::DecodeResult result;
  result.stop = record.stop;
  if (record.picture) result.pictureSize = record.picture->size;
  if (picture && !result.pictureSize) {
    io.err << "tvx decode: the stream holds no picture; "
           << (pictureOut ? "nothing was written"
                          : "\"" + render::PrintablePath(*picture, io.utf8) + "\" was not written")
           << "\n";
  } else if (!picture && result.pictureSize && !json && !io.quiet) {
    io.err << "tvx decode: the stream holds a picture of " << std::to_string(*result.pictureSize)
           << " bytes; --picture PATH writes it\n";
  }
  return Finish("decode", result.stop, io);
}

int ExplainCommand(const Parsed& args, Io& io) {
  std::uint64_t limit = 0;
  if (const std::optional<std::string> text = args.Value(O::kLimit)) {
    limit = core::ParseCount(*text, core::kMaxPosition).value_or(0);  // checked by the parser
  }
  const Run run = Prepare("explain", args, io);
  if (!run.decoder) return run.status;
  const std::optional<Target>& target = run.target;
  const std::shared_ptr<InputSource>& input = run.input;
  const std::unique_ptr<Decoder>& decoder = run.decoder;
  const bool offsets = args.Has(O::kOffsets);
  std::optional<core::StopInfo> stop;
  if (args.Has(O::kJson)) {
    render::ExplainJson json(io.out, *target->control, target->file, target->position,
                             input->Size());
    stop = json.Finish(core::Explain(*decoder, *input, target->position, offsets, limit, json));
  } else {
    render::ExplainTable table(io.out, *target->control, target->file, target->position,
                               input->Size(), {io.colour, io.utf8, limit, args.Has(O::kWhole)});
    stop = table.Finish(core::Explain(*decoder, *input, target->position, offsets, 0, table));
  }
  // Cut by --limit, the decode did not end: nothing to say of how.
  return Finish("explain", stop, io);
}

}  // namespace tvx::cli
