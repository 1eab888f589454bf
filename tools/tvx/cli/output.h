// Standard output and standard error as tvx writes them: byte for byte, with the first failed
// write remembered, and whether they are a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "writer.h"

namespace tvx::cli {

class Output final : public render::Writer {
 public:
  explicit Output(std::FILE* file);
  void Write(std::string_view bytes) override;
  bool Terminal() const override { return terminal_; }
  // Writes out what is buffered; false, with the system's reason in error(), after any failure.
  bool Finish();
  const std::string& error() const { return error_; }
  bool Failed() const { return !error_.empty(); }

 private:
  std::FILE* file_;
  bool terminal_;
  std::string error_;
};

}  // namespace tvx::cli
