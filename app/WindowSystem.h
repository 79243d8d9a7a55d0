// What the window system itself says about windows, asked directly where Qt
// keeps only its own idea of it.
#pragma once

#include <QPoint>

class QWidget;

// Where a top-level window's client area really is. A window manager that
// keeps a window in place need not tell, so on X the server is asked;
// elsewhere Qt's own idea of it is all there is.
QPoint ClientPosition(QWidget* window);

// Whether a window manager runs on the X display (it names its check window
// on the root window, and that window names itself). A window manager
// carries out the maximized state; a configure request it gets for a
// maximized window takes the window out of that state again. False off X.
bool X11WindowManagerRunning();
