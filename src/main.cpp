// Program entry: options go to the command-line front, no options open the window.
#include "shell/cli/CommandLine.h"
#include "shell/ui/RunWindow.h"

int main(int argc, char** argv) {
  if (argc > 1) return tolvane::RunCommandLine(argc, argv);
  return tolvane::RunWindow(argc, argv);
}
