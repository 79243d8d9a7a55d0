// The update client's application object. In this version it declines to
// initialise, so the program ends at once without a window.
#pragma once

class CNubrelApp {
public:
    CNubrelApp() = default;
    // Returns false at once: no window, no command line, no files.
    bool InitInstance();
    // Uninitialises COM, then finishes as the base application does (0).
    int ExitInstance();
};

// The COM library's uninitialise call; nothing to do off Windows.
void CoUninitialize();
