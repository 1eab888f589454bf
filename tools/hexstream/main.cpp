// tvx-hexstream IN.hex OUT.bin: turns annotated hex into bytes.
#include <iostream>

#include "hexstream.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tvx-hexstream IN.hex OUT.bin\n";
    return 2;
  }
  try {
    tvx::hexstream::WriteFile(argv[2], tvx::hexstream::Parse(tvx::hexstream::ReadFile(argv[1])));
  } catch (const std::exception& e) {
    std::cerr << argv[1] << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
