// Standard output and standard error as tvx writes them: byte for byte, with the first failed
// write remembered, and whether they are a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "writer.h"

namespace tvx::cli {

// How much of `bytes` is whole UTF-8 sequences: all of it but a last sequence cut short (a lead
// byte followed by fewer continuation bytes than it announces), which waits for the rest.
std::size_t WholeSequences(std::string_view bytes);

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
  // Writes to a console through its wide calls, a whole UTF-8 sequence at a time.
  void ToConsole(std::string_view bytes, bool all);

  std::FILE* file_;
  bool terminal_;
  bool console_;
  std::string pending_;  // the start of a UTF-8 sequence not yet whole, for a console
  std::string error_;
};

}  // namespace tvx::cli
