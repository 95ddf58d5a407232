// Program entry: options go to the command-line front; no options, or the
// name of a video to open, open the window.
#include "cli/CommandLine.h"
#include "ui/RunWindow.h"

int main(int argc, char** argv) {
  tolvane::HideQtNotes();
  if (tolvane::IsCommandLine(argc, argv)) return tolvane::RunCommandLine(argc, argv);
  return tolvane::RunWindow(argc, argv);
}
