/* A program that starts and ends, in C and linked statically: the least a program start costs,
   the yardstick for a plug-in's start to its first reply. */
int main(void) {
  return 0;
}
