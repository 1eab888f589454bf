#include "agent/agent_decoder.h"
#include "tvx/platform.h"

int main() {
  tvx::AgentDecoder decoder;
  return tvx::RunPlugin(decoder);
}
