// tvx decode and tvx explain: a decoder run in this process, on the real program file.
#include "commands.h"
#include "explain_view.h"
#include "inputs.h"
#include "json_output.h"
#include "positions.h"
#include "text_output.h"

namespace tvx::tool {

namespace {

// What decode and explain share: CONTROL FILE [POSITION], the decoder and the request.
struct Job {
  std::unique_ptr<Decoder> decoder;
  Request request;
  ReadOnlyFiles files;
};

// Checks the arguments and opens the file; the exit status when the command cannot go on.
std::optional<int> Prepare(std::string_view command, const Arguments& args, Job& job, Output& err) {
  const std::size_t n = args.positional.size();
  if (n < 2 || n > 3) {
    return UsageError(err, command,
                      "expected CONTROL FILE POSITION, got " + std::to_string(n) + " argument" +
                          (n == 1 ? "" : "s"));
  }
  job.decoder = DecoderFor(args.positional[0], command, err);
  if (!job.decoder) return kUsage;
  const std::optional<double> start =
      StartFrom(args, n == 3 ? &args.positional[2] : nullptr, command, err);
  if (!start) return kUsage;
  job.request = MakeRequest(args.positional[1], *start, args.Has("offsets"));
  if (job.files.OpenInput(job.request.path) == nullptr) {
    err << "tvx " << command << ": cannot read \"" << PrintablePath(job.request.path)
        << "\": " << job.files.error() << "\n";
    return kIoError;
  }
  return std::nullopt;
}

// The status of a finished command: a write error first, then how the decode ended.
int Finish(std::string_view command, const DecodeOutput& decoded, Output& out, Output& err) {
  if (!out.Finish()) {
    err << "tvx " << command << ": cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  if (decoded.ended == DecodeEnd::kEndCode) return kOk;
  err << "tvx " << command << ": the decode ended early: " << StopText(decoded) << "\n";
  return kEndedEarly;
}

}  // namespace

int DecodeCommand(const Arguments& args, Streams& io) {
  const std::optional<std::string> picture = args.Value("picture");
  const bool toOutput = picture == "-";
  if (args.Has("json") && (args.Has("block") || args.Has("listing") || toOutput)) {
    return UsageError(io.err, "decode",
                      "--json goes with neither --block, --listing nor --picture -");
  }
  if (toOutput && io.out.terminal()) {
    return UsageError(io.err, "decode",
                      "--picture - writes the picture's bytes to standard output, which is a "
                      "terminal: redirect it to a file or a pipe");
  }
  Job job;
  if (const std::optional<int> status = Prepare("decode", args, job, io.err)) return *status;
  const DecodeOutput result = RunDecode(*job.decoder, job.request, job.files);
  if (picture) {
    std::string error;
    if (!result.picture) {
      io.err << "tvx decode: the stream holds no picture; "
             << (toOutput ? "nothing was written"
                          : "\"" + PrintablePath(*picture) + "\" was not written")
             << "\n";
    } else if (toOutput) {
      io.out << *result.picture;
    } else if (!WriteWholeFile(*picture, *result.picture, &error)) {
      io.err << "tvx decode: cannot write the picture to \"" << PrintablePath(*picture)
             << "\": " << error << "\n";
      return kIoError;
    }
  } else if (result.picture && !args.Has("json") && !io.quiet) {
    io.err << "tvx decode: the stream holds a picture of "
           << static_cast<long long>(result.picture->size())
           << " bytes; --picture PATH writes it\n";
  }
  if (args.Has("json")) {
    Json doc = JsonDocument("decode");
    doc["control"] = job.decoder->Info().name;
    AddJsonFile(doc, job.request.path);
    AddJsonPlace(doc, job.request.start);
    doc["offsets"] = job.request.offsets;
    AddJsonDecode(doc, result);
    WriteJson(io.out, doc);
  } else if (!toOutput) {
    const bool both = args.Has("block") == args.Has("listing");
    if (both || args.Has("listing")) ShowLines(io.out, result.listing);
    if (both || args.Has("block")) ShowLines(io.out, result.block);
  }
  return Finish("decode", result, io.out, io.err);
}

int ExplainCommand(const Arguments& args, Streams& io) {
  ExplainOptions options;
  options.json = args.Has("json");
  options.colour = !options.json && io.colour;
  if (const std::optional<std::string> limit = args.Value("limit")) {
    const std::optional<double> n = ParsePosition(*limit);
    if (!n || limit->find_first_not_of("0123456789") != std::string::npos) {
      return UsageError(io.err, "explain", "--limit takes a whole number of rows from 1");
    }
    options.limit = static_cast<std::uint64_t>(*n);
  }
  Job job;
  if (const std::optional<int> status = Prepare("explain", args, job, io.err)) return *status;
  const Explanation e = Explain(*job.decoder, job.request, job.files);
  WriteExplanation(e, job.decoder->Info(), job.request, *job.files.input(), options, io.out);
  return Finish("explain", e.output, io.out, io.err);
}

}  // namespace tvx::tool
