#pragma once
// SIGTERM and SIGINT end the program the orderly way: the event loop is left, windows and
// files are closed as on "Kapat". The Firebird client library puts its own handlers in place
// the first time it is used, and those do not end the process, so ours are put back after
// every use of it.

namespace kx {

// Call once the application object exists (from main). Calling it again only puts the
// handlers back.
void installTerminationHandler();
// Puts our handlers back if a library replaced them. Any thread; does nothing until
// installTerminationHandler has run.
void reclaimTerminationSignals();
// True when our handlers are the ones in place for both signals.
bool terminationHandlerActive();

// Set once a signal has asked the program to end. Loops that wait for something to finish check
// it: once the event loop has been told to exit, a nested loop no longer runs events, so what
// they wait for would never come.
bool terminationRequested();
void setTerminationRequested(bool requested);

} // namespace kx
