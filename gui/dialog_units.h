#pragma once
// The windows are laid out in dialog units: across, a quarter of the dialog font's average
// character width; down, an eighth of its height. The .ui files hold every place and size
// in these units, and they are turned into pixels when a window is loaded, so the windows
// keep their proportions at any font size and resolution.

#include <QFont>

class QWidget;

// Pixels of 4 dialog units across and of 8 dialog units down.
struct DialogBaseUnits {
    int x;
    int y;
};

// The font of every window of the program.
QFont dialogFont();
DialogBaseUnits dialogBaseUnits(const QFont& font);

// Gives dialog the dialog font and maps its size and the places and sizes of its direct
// children from dialog units to pixels. Call once, right after the layout is loaded.
void applyDialogUnits(QWidget& dialog);
