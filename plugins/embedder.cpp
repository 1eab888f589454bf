#include "pluginhost/pluginhost_decoder.h"
#include "tvx/platform.h"

int main() {
  tvx::PluginHostDecoder decoder;
  return tvx::RunPlugin(decoder);
}
