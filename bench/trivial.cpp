// A program that starts and ends, built with the same compiler and options as the plug-ins:
// the yardstick for a plug-in's start.
int main() {
  return 0;
}
