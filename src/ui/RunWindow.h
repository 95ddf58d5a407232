#pragma once

namespace RUNWINDOW {

// Creates the application and the main window and runs the message loop until
// the window has closed. Returns the application's exit code.
int RunWindow(int argc, char** argv);

// Names the running application. The name fixes the user's configuration
// folder; no display name is set, as the desktop would append it to every
// caption and a box titled "ERROR!" would read otherwise.
void SetUpApplication();

}  // namespace RUNWINDOW
