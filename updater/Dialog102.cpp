#include "Dialog102.h"

#include "ui_dialog102.h"

void SetupDialog102(QDialog* dialog)
{
    static Ui::Dialog102 ui;
    ui.setupUi(dialog);
}
