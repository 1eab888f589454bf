// tvx's entry point off Windows: the arguments are the bytes given.
#include "main.h"

int main(int argc, char** argv) {
  return tvx::cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
