// Whether this machine runs 32-bit x86 code inside a 64-bit process, as Wine's WoW64 mode does to
// run 32-bit Windows programs: exit status 0 when it does, 1 when it does not. Some virtual
// machines give their processes no 32-bit code segment: there a far jump to it faults, and no
// 32-bit program can run, under Wine or otherwise. x86-64 Linux only (elsewhere: 1).
//
// scripts/deps.sh builds and runs it before making the Wine 10 root; the Windows tests run it
// before starting a 32-bit program.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

#if defined(__x86_64__) && defined(__linux__)
// In a child process: "mov eax, 42" in 32-bit code, reached by a far jump to the 32-bit user
// code segment (0x23) and left by one back to the 64-bit segment (0x33). Exit status 0 when it
// came back with 42; a fault ends the child with a signal.
[[noreturn]] void TryThirtyTwoBitCode() {
  void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (page == MAP_FAILED) _exit(2);
  const auto at = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(page));
  const std::uint32_t back = at + 16;           // where the 64-bit "ret" is
  unsigned char code[17] = {0xB8, 42, 0, 0, 0,  // mov eax, 42
                            0xEA};              // jmp far 0x33:back
  std::memcpy(code + 6, &back, 4);
  code[10] = 0x33;
  code[16] = 0xC3;  // ret, in 64-bit code again
  std::memcpy(page, code, sizeof code);
  struct [[gnu::packed]] {
    std::uint32_t offset;
    std::uint16_t selector;
  } target{at, 0x23};
  std::uint32_t result = 0;
  // Past the red zone, the return address for the "ret"; then the far jump. (The target's
  // address is in a register: the stack pointer moves before it is used.)
  __asm__ volatile(
      "sub $128, %%rsp\n\t"
      "lea 1f(%%rip), %%rax\n\t"
      "push %%rax\n\t"
      "ljmpl *(%1)\n"
      "1:\n\t"
      "add $128, %%rsp"
      : "=&a"(result)
      : "r"(&target)
      : "memory");
  _exit(result == 42 ? 0 : 3);
}
#endif

}  // namespace

int main() {
#if defined(__x86_64__) && defined(__linux__)
  const pid_t pid = fork();
  if (pid == 0) TryThirtyTwoBitCode();
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    std::puts("This machine runs 32-bit x86 code.");
    return 0;
  }
  std::puts("This machine runs no 32-bit x86 code (a jump to the 32-bit code segment faults).");
#else
  std::puts("Not an x86-64 Linux machine: no 32-bit x86 code here.");
#endif
  return 1;
}
