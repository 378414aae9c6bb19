// The end of the session while the viewer runs: SIGTERM, SIGINT and SIGHUP
// (logout, shutdown, kill, a closed terminal) and the X server going away.
#pragma once

// Installs the signal sources on the toolkit's main loop and the handler for
// a lost X connection. Call once, after the toolkit has opened its display.
void InstallSessionEndHandlers();

// True once an end signal has come (also before the main window existed).
bool SessionEndRequested();
