// tvx decode and tvx explain: a decoder run in this process, on the real program file.
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "common.h"
#include "explain.h"
#include "tvx/text.h"

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
  if (!args.error.empty()) return UsageError(err, command, args.error);
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
  job.request.valid = true;
  job.request.path = args.positional[1];
  job.request.start = *start;
  job.request.offsets = args.Has("offsets");
  if (job.files.OpenInput(job.request.path) == nullptr) {
    err << "tvx " << command << ": cannot read \"" << Printable(job.request.path)
        << "\": " << job.files.error() << "\n";
  }
  return std::nullopt;
}

// The status of a finished command: a write error first, then how the decode ended.
int Finish(std::string_view command, DecodeEnd ended, const std::string& listing, Output& out,
           Output& err) {
  if (!out.Finish()) {
    err << "tvx " << command << ": cannot write to standard output: " << out.error() << "\n";
    return kIoError;
  }
  if (ended == DecodeEnd::kEndCode) return kOk;
  if (ended != DecodeEnd::kNoInput) {
    err << "tvx " << command << ": the decode ended early: " << EndedEarlyReason(ended, listing)
        << "\n";
  }
  return kEndedEarly;
}

}  // namespace

int DecodeCommand(const std::vector<std::string>& args, Output& out, Output& err) {
  const Arguments parsed =
      ParseArguments(args, {{"offsets"}, {"json"}, {"picture", true}, {"file-offset", true}});
  if (parsed.help) return Help("decode", out, err);
  Job job;
  if (const std::optional<int> status = Prepare("decode", parsed, job, err)) return *status;
  const DecodeOutput result = RunDecode(*job.decoder, job.request, job.files);
  if (const std::optional<std::string> picture = parsed.Value("picture")) {
    std::string error;
    if (!result.picture) {
      err << "tvx decode: the stream holds no picture; \"" << Printable(*picture)
          << "\" was not written\n";
    } else if (!WriteWholeFile(*picture, *result.picture, &error)) {
      err << "tvx decode: cannot write the picture to \"" << Printable(*picture) << "\": " << error
          << "\n";
      return kIoError;
    }
  } else if (result.picture && !parsed.Has("json")) {
    err << "tvx decode: the stream holds a picture of "
        << static_cast<long long>(result.picture->size()) << " bytes; --picture PATH writes it\n";
  }
  if (parsed.Has("json")) {
    out << "{\"control\": " << JsonString(job.decoder->Info().name)
        << ", \"file\": " << JsonString(job.request.path)
        << ", \"position\": " << NumberText(job.request.start)
        << ", \"offsets\": " << (job.request.offsets ? "true" : "false")
        << JsonDecodeMembers(result, " ") << "}\n";
  } else {
    ShowLines(out, result.listing);
    ShowLines(out, result.block);
  }
  return Finish("decode", result.ended, result.listing, out, err);
}

int ExplainCommand(const std::vector<std::string>& args, Output& out, Output& err) {
  const Arguments parsed =
      ParseArguments(args, {{"offsets"}, {"json"}, {"limit", true}, {"file-offset", true}});
  if (parsed.help) return Help("explain", out, err);
  Job job;
  if (const std::optional<int> status = Prepare("explain", parsed, job, err)) return *status;
  if (job.files.input() == nullptr) return kEndedEarly;
  ExplainOptions options;
  options.json = parsed.Has("json");
  options.colour = !options.json && ColourWanted(out);
  if (const std::optional<std::string> limit = parsed.Value("limit")) {
    const std::optional<double> n = ParsePosition(*limit);
    if (!n || limit->find_first_not_of("0123456789") != std::string::npos) {
      return UsageError(err, "explain", "--limit takes a whole number of rows from 1");
    }
    options.limit = static_cast<std::uint64_t>(*n);
  }
  const DecodeOutput result = Explain(*job.decoder, job.request, job.files, options, out);
  return Finish("explain", result.ended, result.listing, out, err);
}

}  // namespace tvx::tool
