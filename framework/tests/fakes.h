// In-memory stand-ins for the platform: a file system and a text box.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tvx/decode_run.h"
#include "tvx/dispatcher.h"

namespace tvx::testing {

class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> inputs;   // path -> whole file
  std::map<std::string, std::string> outputs;  // name -> bytes
  std::vector<std::string> writeOrder;

  std::optional<InputFile> ReadInput(const std::string& path, double start) override {
    const auto it = inputs.find(path);
    if (it == inputs.end()) return std::nullopt;
    InputFile file;
    file.base = start;
    if (start - 1 < static_cast<double>(it->second.size())) {
      const auto from = static_cast<std::size_t>(start - 1);
      file.bytes.assign(it->second.begin() + static_cast<std::ptrdiff_t>(from), it->second.end());
    }
    return file;
  }

  bool WriteOutput(std::string_view name, std::string_view bytes) override {
    outputs[std::string(name)] = std::string(bytes);
    writeOrder.emplace_back(name);
    return true;
  }
};

class RecordingTextBox final : public TextBox {
 public:
  frmLibraryMain* form = nullptr;
  std::string text = "Data ExchangeTextBox\r\n";
  std::vector<std::string> setByPlugin;
  int ended = 0;
  int depth = 0;
  int maxDepth = 0;

  std::string GetText() const override { return text; }
  void SetText(std::string_view t) override {
    text = t;
    setByPlugin.emplace_back(t);
    Change();
  }
  void EndProgram() override { ++ended; }

  void Host(std::string t) {
    text = std::move(t);
    Change();
  }

 private:
  void Change() {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    form->txtLibraryText_Change();
    --depth;
  }
};

}  // namespace tvx::testing
