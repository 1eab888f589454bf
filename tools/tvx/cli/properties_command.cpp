// tvx properties: the reference of the controls' properties, from the decoders' definitions.
#include "commands.h"
#include "reference.h"
#include "support.h"

namespace tvx::cli {

int PropertiesCommand(const Parsed& args, Io& io) {
  if (args.operands.size() > 1) {
    return UsageError(io.err, "properties", "give one CONTROL at most");
  }
  const DeliverableInfo* control = nullptr;
  if (!args.operands.empty()) {
    control = ControlOf("properties", args.operands.front(), io);
    if (control == nullptr) return kUsage;
  }
  if (io.checkOnly) return kOk;
  render::WriteReference(io.out, control);
  if (!io.out.Finish()) {
    io.err << "tvx properties: cannot write to standard output: " << io.out.error() << "\n";
    return kIoError;
  }
  return kOk;
}

}  // namespace tvx::cli
