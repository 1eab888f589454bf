#include "adodc/adodc_decoder.h"
#include "tvx/platform.h"

int main() {
  tvx::AdodcDecoder decoder;
  return tvx::RunPlugin(decoder);
}
