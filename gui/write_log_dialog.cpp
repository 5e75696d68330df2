#include "gui/write_log_dialog.h"

#include <string>

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/formats/utf8_path.h"
#include "core/operations/write_log.h"
#include "gui/program.h"

namespace {

const QString titleText = QStringLiteral("Write Log");
const QStringList columns{QStringLiteral("Time"),       QStringLiteral("Port"),   QStringLiteral("Timer"),
                          QStringLiteral("Setup"),      QStringLiteral("Fox"),    QStringLiteral("Cycle ID"),
                          QStringLiteral("CW Message"), QStringLiteral("Outcome")};
constexpr const char* cannotRead = "The write log cannot be read: ";

QString text(const std::string& value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

} // namespace

void showWriteLog(QWidget* parent) {
    const auto entries = readWriteLog();
    if (!entries) {
        showMessageBox(parent, text(cannotRead + utf8Name(writeLogPath())), MessageIcon::Warning);
        return;
    }
    QDialog dialog(parent);
    dialog.setWindowTitle(titleText);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(text(utf8Name(writeLogPath())), &dialog));
    auto* table =
        new QTableWidget(static_cast<int>(entries->size()), static_cast<int>(columns.size()), &dialog);
    table->setObjectName(QStringLiteral("writeLogTable"));
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    int row = 0;
    for (auto entry = entries->rbegin(); entry != entries->rend(); ++entry, ++row) {
        int column = 0;
        for (const std::string* value : {&entry->time, &entry->port, &entry->timer, &entry->setup,
                                         &entry->fox, &entry->cycleId, &entry->cwText, &entry->outcome})
            table->setItem(row, column++, new QTableWidgetItem(text(*value)));
    }
    table->resizeColumnsToContents();
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(900, 360);
    dialog.exec();
}
