// Starting the program: the main window with its icon and handlers, then
// the message loop until the main window closes.
#pragma once

namespace shell {

// Installs the click handlers of the start buttons: each of Command1 to
// Command8 runs its drawing test. Until the complete run exists, CmdTest
// runs the test bracket around nothing.
void installHandlers();

// Loads and shows frmMain with its icon (the runtime must be started).
void showMainWindow();

// installHandlers, showMainWindow, then the message loop; returns when the
// main window has closed.
void runProgram();

}  // namespace shell
