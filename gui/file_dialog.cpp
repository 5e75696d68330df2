#include "gui/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

// The captions the system gives its own file dialogs.
const QString openCaption = QStringLiteral("Open");
const QString saveCaption = QStringLiteral("Save As");

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The label|pattern pairs as the file dialog's name filters. "*.*" means every file, with or
// without a dot.
QStringList nameFilters(std::string_view filter) {
    const QStringList parts = fromUtf8(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        QString label = parts[i];
        if (const qsizetype open = label.lastIndexOf(QStringLiteral(" (")); open > 0 && label.endsWith(')'))
            label.truncate(open);
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ').replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filters << QStringLiteral("%1 (%2)").arg(label, patterns);
    }
    return filters;
}

} // namespace

std::optional<QString> chooseFile(QWidget* parent, FileDialogMode mode, std::string_view filter,
                                  std::string_view defaultExtension, const std::string& lastPath) {
    const bool opening = mode == FileDialogMode::open;
    QFileDialog dialog(parent, opening ? openCaption : saveCaption);
    dialog.setAcceptMode(opening ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (opening) dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFilters(filter));
    dialog.setDefaultSuffix(fromUtf8(defaultExtension));
    if (!lastPath.empty()) {
        const QFileInfo last(QString::fromStdString(lastPath));
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
