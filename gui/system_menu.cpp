#include "gui/system_menu.h"

#include <QAction>
#include <QWidget>

void fixWindowSize(QWidget& window, QSize size) {
    window.setFixedSize(size);
}

void appendSystemMenuEntry(QWidget& window, const QString& text, unsigned, std::function<void()> run) {
    QAction* entry = window.addAction(text);
    QObject::connect(entry, &QAction::triggered, &window, std::move(run));
}

std::optional<unsigned> systemCommand(const QByteArray&, const void*) {
    return std::nullopt;
}
