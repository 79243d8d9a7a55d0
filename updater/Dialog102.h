// Dialog 102, the update dialog. It is a resource only: nothing in the
// program creates it; tests build it to check its controls.
#pragma once

class QDialog;

// Fills `dialog` with the controls of the embedded form.
void SetupDialog102(QDialog* dialog);
