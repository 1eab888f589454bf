#include "common.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "registry.h"
#include "tvx/dispatcher.h"
#include "tvx/text.h"

namespace tvx::tool {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::optional<InputFile> ReadOnlyFiles::ReadInput(const std::string& path, double start) {
  error_.clear();
  size_ = 0;
  if (path.empty() || path.find('\0') != std::string::npos) {
    error_ = "not a file name";
    return std::nullopt;
  }
  // Only regular files: a FIFO or a device would make the decode wait or read forever.
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    error_ = std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = "not a regular file";
    return std::nullopt;
  }
  Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = fd.get() < 0 ? std::strerror(errno) : "not a regular file";
    return std::nullopt;
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
  InputFile input;
  input.base = start;
  const auto size = static_cast<double>(st.st_size);
  if (start - 1 >= size) return input;  // the stream starts past the end of the file
  const auto offset = static_cast<off_t>(start - 1);
  input.bytes.resize(static_cast<std::size_t>(st.st_size - offset));
  std::size_t got = 0;
  while (got < input.bytes.size()) {
    const ssize_t n = pread(fd.get(), input.bytes.data() + got, input.bytes.size() - got,
                            offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = std::strerror(errno);
      return std::nullopt;
    }
    if (n == 0) break;  // the file shrank: decode what was read
    got += static_cast<std::size_t>(n);
  }
  input.bytes.resize(got);
  return input;
}

bool ReadOnlyFiles::WriteOutput(std::string_view, std::string_view) {
  return false;
}

Arguments ParseArguments(const std::vector<std::string>& args, bool acceptDecodeOptions) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (acceptDecodeOptions && arg == "--offsets") {
      parsed.offsets = true;
    } else if (acceptDecodeOptions && arg == "--picture") {
      if (i + 1 == args.size()) {
        parsed.error = "--picture needs a file name";
      } else {
        parsed.picture = args[++i];
      }
    } else if (parsed.error.empty()) {
      parsed.error = "unknown option " + arg;
    }
  }
  return parsed;
}

std::optional<double> ParsePosition(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    double value = 0;
    for (const char c : text.substr(2)) {
      int digit = 0;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return std::nullopt;
      }
      value = value * 16 + digit;
    }
    if (!(value >= 1)) return std::nullopt;
    return value;
  }
  // The same conversion the plug-ins apply to a request's position.
  if (text.find_first_of(std::string_view("#@\xFF", 3)) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string request = "%x#";
  request.append(text);
  request += "@N";
  request.push_back(kEndMark);
  const Request parsed = ParseRequest(request);
  if (!parsed.valid) return std::nullopt;
  return parsed.StartOffset;
}

std::string KnownControls() {
  std::string text;
  for (const DeliverableInfo* info : AllDeliverables()) {
    text += "  " + std::string(info->name) + " (" + std::string(info->classWord) + ")\n";
  }
  return text;
}

std::unique_ptr<Decoder> FindDecoder(std::string_view control, std::ostream& err) {
  auto decoder = MakeDecoder(control);
  if (!decoder) {
    err << "tvx: unknown control \"" << Printable(control) << "\"; the controls are:\n"
        << KnownControls();
  }
  return decoder;
}

std::string Printable(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\\') {
      text += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      text.push_back(c);
    } else {
      text += "\\x";
      text.push_back(kHex[b >> 4]);
      text.push_back(kHex[b & 15]);
    }
  }
  return text;
}

std::string PositionText(double position) {
  return NumberText(position) + "/" + DecToHex(position);
}

}  // namespace tvx::tool
