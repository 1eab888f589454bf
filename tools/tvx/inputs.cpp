#include "inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "positions.h"
#include "registry.h"
#include "text_output.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

// Standard input, read whole: it cannot be read at positions.
class StandardInput final : public InputSource {
 public:
  explicit StandardInput(const std::string& bytes) : bytes_(bytes) {}
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* into, std::size_t size) override {
    return bytes_.ReadAt(offset, into, size);
  }
  std::uint64_t Size() override { return bytes_.Size(); }

 private:
  BytesInput bytes_;
};

}  // namespace

InputSource* ReadOnlyFiles::OpenInput(const std::string& path) {
  if (input_ != nullptr && path == path_) return input_.get();
  error_.clear();
  path_ = path;
  if (path == "-") {
    standardInput_.clear();
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
      standardInput_.append(buffer, n);
    input_ = std::make_unique<StandardInput>(standardInput_);
    return input_.get();
  }
  input_ = RegularFile::Open(path, &error_);
  return input_.get();
}

bool ReadOnlyFiles::WriteOutput(std::string_view, std::string_view) {
  return false;
}

std::string KnownControls() {
  std::string text;
  for (const DeliverableInfo* info : AllDeliverables()) {
    text += "  " + std::string(info->name) + " (" + std::string(info->classWord);
    if (!info->classNames.empty()) text += "; " + std::string(info->classNames);
    text += ")\n";
  }
  return text;
}

std::unique_ptr<Decoder> DecoderFor(std::string_view control, std::string_view command,
                                    Output& err) {
  auto decoder = FindDecoder(control);
  if (!decoder) {
    err << "tvx " << command << ": unknown control \"" << Printable(control)
        << "\"; the controls (deliverable, class word; class names) are:\n"
        << KnownControls() << "try 'tvx " << command << " --help'\n";
  }
  return decoder;
}

std::string_view StopCode(DecodeEnd ended) {
  switch (ended) {
    case DecodeEnd::kEndCode:
      return "end_code";
    case DecodeEnd::kEndOfInput:
      return "input_ended";
    case DecodeEnd::kStopLine:
      return "stopped_by_stream";
    case DecodeEnd::kInvalidRequest:
      return "invalid_request";
    case DecodeEnd::kNoInput:
      return "input_not_opened";
  }
  return "";
}

std::string StopText(const DecodeOutput& decoded) {
  const StopPlace& stop = decoded.stop;
  switch (decoded.ended) {
    case DecodeEnd::kEndCode:
      return "the stream's end code " + std::to_string(stop.code) + " at position " +
             PlaceText(stop.position);
    case DecodeEnd::kEndOfInput:
      return "the file ends before the stream's end code: the next code byte would lie at "
             "position " +
             PlaceText(stop.position) + ", past its end";
    case DecodeEnd::kStopLine:
      return "code " + std::to_string(stop.code) + " at position " + PlaceText(stop.position) +
             " is not known to this control in section B: its stop line ends the decode";
    case DecodeEnd::kInvalidRequest:
      return "the request is not valid";
    case DecodeEnd::kNoInput:
      return "the input file cannot be opened";
  }
  return "";
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (!written) *error = std::strerror(errno);
  if (std::fclose(file) != 0 && written) {
    *error = std::strerror(errno);
    return false;
  }
  return written;
}

}  // namespace tvx::tool
