#include "gui/system_menu.h"

#include <string>

#include <QWidget>

#include <windows.h>

namespace {

constexpr unsigned systemCommandMask = 0xFFF0;

HMENU systemMenuOf(QWidget& window) {
    // The window's handle exists from here on; the menu is the one of that window.
    return ::GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
}

} // namespace

void fixWindowSize(QWidget& window, QSize size) {
    // Set before the window's handle exists, so that it is made with a dialog's frame.
    window.setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    window.setFixedSize(size);
    HMENU menu = systemMenuOf(window);
    if (menu == nullptr) return;
    ::DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    if (!window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint))
        ::DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
}

void appendSystemMenuEntry(QWidget& window, const QString& text, unsigned command, std::function<void()>) {
    HMENU menu = systemMenuOf(window);
    if (menu == nullptr || text.isEmpty()) return;
    const std::wstring entry = text.toStdWString();
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, command, entry.c_str());
}

std::optional<unsigned> systemCommand(const QByteArray& eventType, const void* message) {
    if (eventType != "windows_generic_MSG") return std::nullopt;
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_SYSCOMMAND) return std::nullopt;
    return static_cast<unsigned>(msg->wParam & systemCommandMask);
}
