#include "gui/system_menu.h"

#include <QAction>
#include <QWidget>

void appendSystemMenuEntry(QWidget& window, const QString& text, unsigned, std::function<void()> run) {
    window.setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(&window);
    separator->setSeparator(true);
    window.addAction(separator);
    QAction* entry = window.addAction(text);
    QObject::connect(entry, &QAction::triggered, &window, std::move(run));
}

std::optional<unsigned> systemCommand(const QByteArray&, const void*) {
    return std::nullopt;
}
