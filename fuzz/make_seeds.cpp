// tvx-fuzz-seeds SAMPLES.TXT SAMPLES_DIR CASES_DIR OUT_DIR
//
// Writes the seed corpora of the fuzz targets from the bundled samples and the end-to-end test
// cases:
//   OUT_DIR/streams/   one input of the decoder targets per program file: the header that puts
//                      the start position at the stream's own start, then the file's bytes
//   OUT_DIR/requests/  inputs of the dispatcher target: the test cases' requests and the other
//                      message forms, as texts separated by LF
//   OUT_DIR/arguments/ inputs of tvx's command-line target: a use of every command and option,
//                      the arguments separated by zero bytes
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hexstream.h"

namespace {

namespace fs = std::filesystem;

constexpr char kMark = static_cast<char>(255);
// The path the dispatcher target knows as an existing program file.
constexpr char kKnownPath[] = "C:\\apps\\term.exe";

// Decoder target header, mode 1: start = 1 + v mod (file size + 1), so v = start - 1.
std::string StreamSeed(const std::string& file, double start) {
  const auto v = static_cast<std::uint32_t>(start - 1);
  std::string seed(1, '\x01');
  for (int i = 0; i < 4; ++i)
    seed.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return seed + file;
}

std::string Replace(std::string text, const std::string& token, const std::string& value) {
  for (std::size_t at = text.find(token); at != std::string::npos;
       at = text.find(token, at + value.size())) {
    text.replace(at, token.size(), value);
  }
  return text;
}

std::string ReadLine(const fs::path& path) {
  std::string text = tvx::hexstream::ReadFile(path.string());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

// The start position a case's request names, or 1 when it names none that is usable.
double StartOf(const std::string& request) {
  const std::size_t hash = request.find('#');
  const std::size_t at = request.find('@');
  if (hash == std::string::npos || at == std::string::npos || at < hash) return 1;
  std::string digits = request.substr(hash + 1, at - hash - 1);
  std::erase(digits, ' ');
  if (digits.empty() || digits.find_first_not_of("0123456789.") != std::string::npos) return 1;
  const double value = std::nearbyint(std::stod(digits));
  return value >= 1 && value < 4294967296.0 ? value : 1;
}

std::string SafeName(std::string name) {
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '_';
  }
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: tvx-fuzz-seeds SAMPLES.TXT SAMPLES_DIR CASES_DIR OUT_DIR\n";
    return 2;
  }
  const fs::path samplesList = argv[1];
  const fs::path samplesDir = argv[2];
  const fs::path casesDir = argv[3];
  const fs::path out = argv[4];
  try {
    fs::remove_all(out / "streams");
    fs::remove_all(out / "requests");
    fs::create_directories(out / "streams");
    fs::create_directories(out / "requests");
    fs::remove_all(out / "arguments");
    fs::create_directories(out / "arguments");

    // The bundled samples: "<Deliverable> <name>.exe <start position>".
    std::istringstream list(tvx::hexstream::ReadFile(samplesList.string()));
    for (std::string line; std::getline(list, line);) {
      std::istringstream words(line);
      std::string deliverable, program;
      double start = 0;
      if (line.empty() || line[0] == '#' || !(words >> deliverable >> program >> start)) continue;
      const fs::path hex = samplesDir / (fs::path(program).stem().string() + ".hex");
      const std::string file = tvx::hexstream::Parse(tvx::hexstream::ReadFile(hex.string()));
      tvx::hexstream::WriteFile((out / "streams" / SafeName("sample_" + program)).string(),
                                StreamSeed(file, start));
    }

    // The test cases: the stream from the request's start, and the request itself.
    std::vector<std::string> requests;
    std::vector<fs::path> caseDirs;
    if (fs::exists(casesDir)) {
      for (const auto& deliverable : fs::directory_iterator(casesDir)) {
        if (!deliverable.is_directory()) continue;
        for (const auto& c : fs::directory_iterator(deliverable.path())) {
          if (c.is_directory()) caseDirs.push_back(c.path());
        }
      }
    }
    std::sort(caseDirs.begin(), caseDirs.end());
    for (const fs::path& dir : caseDirs) {
      const std::string name =
          SafeName(dir.parent_path().filename().string() + "_" + dir.filename().string());
      std::string request = "%{input}#1@N";
      if (fs::exists(dir / "request.txt")) request = ReadLine(dir / "request.txt");
      if (fs::exists(dir / "stream.hex")) {
        const std::string file =
            tvx::hexstream::Parse(tvx::hexstream::ReadFile((dir / "stream.hex").string()));
        tvx::hexstream::WriteFile((out / "streams" / name).string(),
                                  StreamSeed(file, StartOf(request)));
      }
      request = Replace(Replace(request, "{input}", kKnownPath), "{missing}", "C:\\missing.exe");
      requests.push_back(request + kMark);
      tvx::hexstream::WriteFile((out / "requests" / name).string(),
                                std::string(1, '\0') + request + kMark);
    }

    // Every message form in one conversation, and texts near the text box's limit.
    std::string all(1, '\0');
    for (const std::string& r : requests)
      all += r + "\n";
    all += std::string("^DONE") + kMark + "\n^STOP" + kMark + "\n^" + kMark + "\n^done" + kMark +
           "\n%" + kKnownPath + "#1@Y\n" + "Data ExchangeTextBox\r\n\n^END" + kMark;
    tvx::hexstream::WriteFile((out / "requests" / "conversation").string(), all);
    for (const int extra : {120, 128, 129, 140}) {
      const std::string seed = std::string(1, '\0') + '\x01' + static_cast<char>(extra) + "%" +
                               kKnownPath + "#1@Y" + kMark;
      tvx::hexstream::WriteFile((out / "requests" / ("long_" + std::to_string(extra))).string(),
                                seed);
    }

    // tvx's command line: each command with its options, as people write them.
    const std::vector<std::vector<std::string>> commands = {
        {"decode", "agent", "program.exe", "1025", "--offsets", "--json"},
        {"decode", "MSComm", "-", "0x401", "--picture", "-", "--block"},
        {"explain", "calendar", "program.exe", "--file-offset=0x400", "--limit", "5"},
        {"-q", "--color", "never", "scan", "old/", "-j2", "--class", "A.B=Agent", "--decode"},
        {"scan", "a.exe", "b.exe", "--name=X", "--position", "1.5", "--out", "found", "--all"},
        {"host", "SERLINK.SerialLink", "comm.exe", "5121", "Y", "--timeout", "0.5"},
        {"report", "old/", "-o", "r.html", "--stream", "Agent:1025:a.exe", "--follow"},
        {"outline", "old/", "--form", "frmMain", "--all", "-j1"},
        {"scan", "a.exe", "--form=Form1", "--fields", "name,index,form", "--csv"},
        {"help", "scan"},
        {"--version"},
        {"scna", "--jsno"},
    };
    int n = 0;
    for (const std::vector<std::string>& args : commands) {
      std::string seed;
      for (const std::string& arg : args)
        seed += (seed.empty() ? "" : std::string(1, '\0')) + arg;
      tvx::hexstream::WriteFile((out / "arguments" / ("command_" + std::to_string(++n))).string(),
                                seed);
    }
  } catch (const std::exception& e) {
    std::cerr << "tvx-fuzz-seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
