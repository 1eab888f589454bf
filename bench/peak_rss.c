/* tvx_peak_rss FILE COMMAND [ARG]...
 *
 * Runs COMMAND with this program's standard streams, waits for it and writes its peak resident
 * memory in KiB (ru_maxrss from wait4) to FILE; exits with COMMAND's status. A small C program
 * starts it, so that the figure is the command's own: a child keeps its parent's peak across
 * fork and exec, and a Python parent's alone is over 10 MiB. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: tvx_peak_rss FILE COMMAND [ARG]...\n");
    return 2;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    perror("tvx_peak_rss: fork");
    return 1;
  }
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    perror("tvx_peak_rss: exec");
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) {
    perror("tvx_peak_rss: wait4");
    return 1;
  }
  FILE* out = fopen(argv[1], "w");
  if (out == NULL || fprintf(out, "%ld\n", usage.ru_maxrss) < 0 || fclose(out) != 0) {
    perror("tvx_peak_rss: FILE");
    return 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
