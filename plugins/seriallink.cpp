#include "comm/comm_decoder.h"
#include "tvx/platform.h"

int main() {
  tvx::CommDecoder decoder;
  return tvx::RunPlugin(decoder);
}
