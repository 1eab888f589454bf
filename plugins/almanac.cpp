#include "calendar/calendar_decoder.h"
#include "tvx/platform.h"

int main() {
  tvx::CalendarDecoder decoder;
  return tvx::RunPlugin(decoder);
}
