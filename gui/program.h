#pragma once
// What every window of the program shares: its name, its icon and its message boxes
// (modal, one OK button, the program's name as caption).

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QString>

#include "core/operator_panel.h"

// The base name of the executable file; it names the message boxes and the settings store.
inline QString programName() {
    const QFileInfo executable(QCoreApplication::applicationFilePath());
#if defined(_WIN32)
    return executable.completeBaseName();
#else
    return executable.fileName();
#endif
}

inline QIcon programIcon() {
    // The resources live in a static library, whose resource table the linker keeps only
    // when something asks for it.
    static const bool registered = [] {
        Q_INIT_RESOURCE(tavofox);
        return true;
    }();
    static_cast<void>(registered);
    return QIcon(QStringLiteral(":/tavofox.png"));
}

inline void showMessageBox(QWidget* parent, const QString& text, MessageIcon icon = MessageIcon::Warning) {
    QMessageBox box(icon == MessageIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning, programName(),
                    text, QMessageBox::Ok, parent);
    box.exec();
}
