// The About box (dialog 100).
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Dialog units to pixels for the 9-point fonts of our dialogs: at 96 DPI a
// 9-point font is 12 pixels high with an average character width of 6, so
// one horizontal unit (a quarter of the width) and one vertical unit (an
// eighth of the height) are both 1.5 pixels.
inline int DialogUnitsX(int units)
{
    return units * 6 / 4;
}
inline int DialogUnitsY(int units)
{
    return units * 12 / 8;
}
