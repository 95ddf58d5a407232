#pragma once

namespace tolvane {

// Creates the application and the main window and runs the message loop until
// the window has closed. Returns the application's exit code.
int RunWindow(int argc, char** argv);

}  // namespace tolvane
