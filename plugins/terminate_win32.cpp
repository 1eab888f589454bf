// The plug-ins on Windows are GUI programs: they have no console, so the message the C++
// runtime's default terminate handler prints (the type of an uncaught exception, demangled)
// would go nowhere. This handler, which std::terminate calls in its place, ends the program the
// same way without the message, and so without the demangler it needs (some 45 KB).
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
