#include "cases.h"

#include <algorithm>
#include <filesystem>

#include "hexstream.h"

namespace tvx::testing {

namespace fs = std::filesystem;

std::vector<std::string> CaseDeliverables() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(TVX_CASES_DIR)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string CrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

std::string Substitute(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [key, value] : values) {
    const std::string token = "{" + key + "}";
    for (std::size_t at = text.find(token); at != std::string::npos;
         at = text.find(token, at + value.size())) {
      text.replace(at, token.size(), value);
    }
  }
  return text;
}

std::vector<Case> LoadCases(const std::string& deliverable) {
  std::vector<Case> cases;
  const fs::path root = fs::path(TVX_CASES_DIR) / deliverable;
  if (!fs::exists(root)) return cases;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (!entry.is_directory()) continue;
    const fs::path dir = entry.path();
    Case c;
    c.name = dir.filename().string();
    try {
      if (fs::exists(dir / "stream.hex")) {
        c.stream = hexstream::Parse(hexstream::ReadFile((dir / "stream.hex").string()));
      }
      c.request = "%{input}#1@N";
      if (fs::exists(dir / "request.txt")) {
        c.request = hexstream::ReadFile((dir / "request.txt").string());
        while (!c.request.empty() && (c.request.back() == '\n' || c.request.back() == '\r')) {
          c.request.pop_back();
        }
      }
      c.listing = CrLf(hexstream::ReadFile((dir / "listing.txt").string()));
      c.block = CrLf(hexstream::ReadFile((dir / "block.txt").string()));
      if (fs::exists(dir / "picture.hex")) {
        c.picture = hexstream::Parse(hexstream::ReadFile((dir / "picture.hex").string()));
      }
    } catch (const std::exception& e) {
      throw std::runtime_error(deliverable + "/" + c.name + ": " + e.what());
    }
    cases.push_back(std::move(c));
  }
  std::sort(cases.begin(), cases.end(),
            [](const Case& a, const Case& b) { return a.name < b.name; });
  return cases;
}

}  // namespace tvx::testing
