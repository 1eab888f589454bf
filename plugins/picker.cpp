#include "commondialog/commondialog_decoder.h"
#include "tvx/platform.h"

int main() {
  tvx::CommonDialogDecoder decoder;
  return tvx::RunPlugin(decoder);
}
