#pragma once
// Entries of the program's own in the window's system menu, each with its command number.
// On Windows (system_menu_win32.cpp) that is the real system menu: a separator, then the
// entry; choosing it sends the window a system command, which the window's nativeEvent
// reads with systemCommand(). Where the window manager owns the system menu (X11, Wayland;
// system_menu.cpp) the entry is appended to the window's actions, its context menu, and
// runs run itself.

#include <functional>
#include <optional>

#include <QByteArray>
#include <QSize>
#include <QString>

class QWidget;

// Gives a window its one size: the operator cannot resize it. On Windows it gets a dialog's
// frame, without a resize border, and its system menu loses the entries a window of fixed
// size cannot use (Restore, Size, Minimize and Maximize where it has no such button).
void fixWindowSize(QWidget& window, QSize size);

void appendSystemMenuEntry(QWidget& window, const QString& text, unsigned command, std::function<void()> run);

// The command number of a system command message, with its low four bits (the system's
// own) cleared; nothing for any other message.
std::optional<unsigned> systemCommand(const QByteArray& eventType, const void* message);
