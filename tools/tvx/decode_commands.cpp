// tvx decode and tvx explain: a decoder run in this process, on the real program file.
#include <fstream>

#include "commands.h"
#include "common.h"
#include "explain.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

struct Job {
  std::unique_ptr<Decoder> decoder;
  Request request;
  ReadOnlyFiles files;
};

// Checks the arguments CONTROL FILE POSITION and reads the file; the status on failure.
int Prepare(const char* command, const char* help, const Arguments& args, Job& job,
            std::ostream& err) {
  const std::string prefix = std::string("tvx ") + command + ": ";
  if (!args.error.empty()) {
    err << prefix << args.error << "\n\n" << help;
    return kBadArguments;
  }
  if (args.positional.size() != 3) {
    err << prefix << "expected CONTROL FILE POSITION, got " << args.positional.size() << " argument"
        << (args.positional.size() == 1 ? "" : "s") << "\n\n"
        << help;
    return kBadArguments;
  }
  const std::string& control = args.positional[0];
  const std::string& path = args.positional[1];
  const std::string& position = args.positional[2];
  job.decoder = DecoderFor(control, err);
  if (!job.decoder) return kBadArguments;
  const std::optional<double> start = ParsePosition(position);
  if (!start) {
    err << prefix << "\"" << Printable(position)
        << "\" is not a start position (a whole number from 1, decimal or 0x hexadecimal)\n";
    return kBadArguments;
  }
  if (job.files.OpenInput(path) == nullptr) {
    err << prefix << "cannot read \"" << Printable(path) << "\": " << job.files.error() << "\n";
    return kFailed;
  }
  job.request.valid = true;
  job.request.path = path;
  job.request.start = *start;
  job.request.offsets = args.offsets;
  return kOk;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

int DecodeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments parsed = ParseArguments(args, true);
  if (parsed.help) {
    out << kDecodeHelp;
    return kOk;
  }
  Job job;
  if (const int status = Prepare("decode", kDecodeHelp, parsed, job, err); status != kOk) {
    return status;
  }
  const DecodeOutput result = RunDecode(*job.decoder, job.request, job.files);
  if (parsed.picture) {
    if (!result.picture) {
      err << "tvx decode: the stream holds no picture; \"" << Printable(*parsed.picture)
          << "\" was not written\n";
    } else if (!WriteFile(*parsed.picture, *result.picture)) {
      err << "tvx decode: cannot write the picture to \"" << Printable(*parsed.picture) << "\"\n";
      return kFailed;
    }
  } else if (result.picture) {
    err << "tvx decode: the stream holds a picture of " << result.picture->size()
        << " bytes; --picture PATH writes it\n";
  }
  out.write(result.listing.data(), static_cast<std::streamsize>(result.listing.size()));
  out.write(result.block.data(), static_cast<std::streamsize>(result.block.size()));
  out.flush();
  return out ? kOk : kFailed;
}

int ExplainCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments parsed = ParseArguments(args, false);
  if (parsed.help) {
    out << kExplainHelp;
    return kOk;
  }
  Job job;
  if (const int status = Prepare("explain", kExplainHelp, parsed, job, err); status != kOk) {
    return status;
  }
  DecodeRecorder recorder;
  RunDecode(*job.decoder, job.request, job.files, recorder.Hooks());
  const DeliverableInfo& info = job.decoder->Info();
  out << info.name << " (" << info.classWord << "): " << Printable(job.request.path)
      << ", property stream from position " << PositionText(job.request.start)
      << "; the file holds " << job.files.file()->Size() << " bytes\n";
  WriteExplanation(recorder.events(), {job.files.file(), job.request.start}, out);
  out.flush();
  return out ? kOk : kFailed;
}

}  // namespace tvx::tool
