// The viewer's command vocabulary as data: command ids, menu 128, context
// menu 133, accelerator table 128, toolbar 128 and the string table.
#pragma once

#include <QKeySequence>
#include <QString>
#include <QStringList>
#include <QVector>

namespace res {

// Framework commands.
enum : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_INDICATOR_LEFT = 61446,
    ID_INDICATOR_RIGHT = 61447,
};

// The viewer's own commands.
enum : int {
    ID_EFFECT_ON = 32771,
    ID_ZOOM_50 = 32772,
    ID_ZOOM_ORIGINAL = 32773,
    ID_ZOOM_200 = 32774,
    ID_ZOOM_75 = 32775,
    ID_ZOOM_150 = 32776,
    ID_EFFECT_RANDOM = 32777,
    ID_EFFECT_MOSAIC = 32778,
    ID_EFFECT_BLINDS = 32779,
    ID_EFFECT_FROM_TOP = 32780,
    ID_EFFECT_FROM_BOTTOM = 32781,
    ID_EFFECT_FROM_LEFT = 32782,
    ID_EFFECT_FROM_RIGHT = 32783,
    ID_EFFECT_FROM_TOP_LEFT = 32784,
    ID_EFFECT_FROM_BOTTOM_LEFT = 32785,
    ID_EFFECT_FROM_TOP_RIGHT = 32786,
    ID_EFFECT_FROM_BOTTOM_RIGHT = 32787,
    ID_NEXT_PICTURE = 32790,
    ID_PREV_PICTURE = 32791,
    ID_DELETE = 32792,
    ID_ZOOM_IN = 32793,
    ID_ZOOM_OUT = 32794,
    ID_OPEN_DEFAULT = 32796,
    ID_OPEN_PAINT = 32797,
    ID_FULL_SCREEN = 32801,
    ID_SLIDE_START = 32806,
    ID_SLIDE_STOP = 32807,
    ID_ZOOM_FIT = 32808,
    ID_ROTATE_CW = 32809,
    ID_SHOW_VERTICAL_BLINDS = 32810,
    ID_SHOW_HORIZONTAL_BLINDS = 32811,
    ID_SHOW_MOSAIC = 32812,
    ID_SHOW_SCAN_DOWN = 32813,
    ID_SHOW_SCAN_UP = 32814,
    ID_ROTATE_CCW = 32815,
    ID_ROTATE_180 = 32816,
    ID_FIRST_PICTURE = 32817,
    ID_LAST_PICTURE = 32818,
};

// Framework strings the viewer uses.
enum : int { IDS_APP_TITLE = 57344, IDS_IDLE_MESSAGE = 57345 };

// The caption's application part and the About box texts.
QString WindowTitle();   // "Tobble"
QString UntitledName();  // "无标题"

struct MenuItem {
    QString text;        // "&" marks the mnemonic, a tab precedes the shortcut text
    int command = 0;     // 0 for a separator or a submenu
    bool grayed = false; // initial state
    bool checked = false;
    QVector<MenuItem> submenu;
    bool IsSeparator() const { return command == 0 && text.isEmpty() && submenu.isEmpty(); }
};

struct Menu {
    QString title;
    QVector<MenuItem> items;
};

struct Accelerator {
    QKeySequence keys;
    int command;
};

const QVector<Menu>& MainMenu();        // menu 128
const QVector<MenuItem>& ContextMenu(); // menu 133
const QVector<Accelerator>& Accelerators();
// Keys beyond table 128 that are bound to commands the same way (Home, End).
const QVector<Accelerator>& ExtraAccelerators();
// The keys and gestures of the view, one "keys\tmeaning" line each, for the
// help texts.
QStringList KeyHelp();
// Toolbar 128 in order; 0 marks a separator.
const QVector<int>& MainToolbar();
// Toolbar 131, the full-screen toolbar; 0 marks a separator.
const QVector<int>& FullScreenToolbar();

// The string resource of an id ("prompt\ntooltip" for commands), or an
// empty string.
QString String(int id);
QString Tooltip(int command); // the part after the line break
// Every id that has a string.
QVector<int> StringIds();

} // namespace res
