#include "gui/system_menu.h"

#include <string>

#include <QWidget>

#include <windows.h>

namespace {

constexpr unsigned systemCommandMask = 0xFFF0;

} // namespace

void appendSystemMenuEntry(QWidget& window, const QString& text, unsigned command, std::function<void()>) {
    // The window's handle exists from here on; the menu is the one of that window.
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
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
