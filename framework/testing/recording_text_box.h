// A text box in memory, for the tests and the fuzz targets: it records every text the plug-in
// sets and how deeply the change notifications nest.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tvx/dispatcher.h"
#include "tvx/protocol.h"

namespace tvx::testing {

class RecordingTextBox final : public TextBox {
 public:
  Dispatcher* dispatcher = nullptr;
  std::string text = std::string(kInitialText);
  std::vector<std::string> setByPlugin;  // every text the plug-in set, in order
  int ended = 0;                         // calls of EndProgram
  int depth = 0;                         // change notifications running now
  int maxDepth = 0;                      // the deepest they ever nested
  int setOutsideNotification = 0;        // texts the plug-in set while none was running

  std::string GetText() const override { return text; }
  void SetText(std::string_view t) override {
    if (depth == 0) ++setOutsideNotification;
    text = t;
    setByPlugin.emplace_back(t);
    Change();
  }
  void EndProgram() override { ++ended; }

  // The host sets the text.
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
