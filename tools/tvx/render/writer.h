// Where the renderers write: standard output, standard error, a file, memory.
#pragma once

#include <string>
#include <string_view>

namespace tvx::render {

class Writer {
 public:
  virtual ~Writer() = default;
  virtual void Write(std::string_view bytes) = 0;
  // True when the bytes go to a terminal: texts are then shown, not passed on.
  virtual bool Terminal() const { return false; }

  Writer& operator<<(std::string_view bytes) {
    Write(bytes);
    return *this;
  }
};

// Bytes collected in memory.
class StringWriter final : public Writer {
 public:
  explicit StringWriter(bool terminal = false) : terminal_(terminal) {}
  void Write(std::string_view bytes) override { text.append(bytes); }
  bool Terminal() const override { return terminal_; }
  std::string text;

 private:
  bool terminal_;
};

}  // namespace tvx::render
