// Fuzz target for tvx's command line: any list of arguments ends with an exit status from 0 to 3
// and no crash. The commands check their arguments and stop there (they read, write and start
// nothing), so that no list the fuzzer makes can touch the machine.
//
// Input layout: the arguments, separated by zero bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tvx;
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (size == 0) args.clear();
  static std::FILE* const null = std::fopen("/dev/null", "wb");
  cli::Output out(null);
  cli::Output err(null);
  const int status = cli::RunTvx(args, out, err, true);
  fuzz::Check(status >= 0 && status <= 3, "an exit status from 0 to 3", std::to_string(status));
  return 0;
}
