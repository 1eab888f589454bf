// In-memory stand-ins for the platform: a file system and a text box.
#pragma once

#include <string>
#include <vector>

#include "memory_files.h"
#include "tvx/decode_run.h"
#include "tvx/dispatcher.h"

namespace tvx::testing {

class RecordingTextBox final : public TextBox {
 public:
  Dispatcher* dispatcher = nullptr;
  std::string text = std::string(kInitialText);
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
    dispatcher->OnTextChanged();
    --depth;
  }
};

}  // namespace tvx::testing
