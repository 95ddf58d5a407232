// Program entry: options go to the command-line front; no options, or the
// name of a video to open, open the window.
#include "cli/CommandLine.h"
#include "ui/RunWindow.h"

int main(int argc, char** argv) {
  COMMANDLINE::HideQtNotes();
  if (COMMANDLINE::IsCommandLine(argc, argv)) return COMMANDLINE::RunCommandLine(argc, argv);
  return RUNWINDOW::RunWindow(argc, argv);
}
