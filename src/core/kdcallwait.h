#pragma once
// What the user-interface thread does while a database call waits for the server: the
// windows keep painting and timers keep running, other input is dropped (a second click on
// a run command never queues a second run), and Esc asks the server to cancel the call.
namespace db { class Connection; }

// Installs the waiter for every connection of the program (idempotent).
void InstallCallWaiter();

// Lets queued events run, dropping mouse and keyboard input and the window system's close
// requests; true when Esc was pressed meanwhile. Used inside a waiting call and between the
// statements of a long run, so that no input reaches the windows before the run has ended.
bool PumpEventsDroppingInput();

