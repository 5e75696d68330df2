#include "gui/transmit_sequence_dialog.h"

#include <QFocusEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>

#include "core/form/transmit_sequence_form.h"
#include "gui/dialog_units.h"
#include "gui/program.h"
#include "ui_transmit_sequence_dialog.h"

TransmitSequenceDialog::TransmitSequenceDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TransmitSequenceDialog>()) {
    ui_->setupUi(this);
    applyDialogUnits(*this);
    lengthEdits_ = {ui_->stepLength1Edit, ui_->stepLength2Edit, ui_->stepLength3Edit,
                    ui_->stepLength4Edit, ui_->stepLength5Edit, ui_->stepLength6Edit};
    kindLists_ = {ui_->stepKind1List, ui_->stepKind2List, ui_->stepKind3List,
                  ui_->stepKind4List, ui_->stepKind5List, ui_->stepKind6List};
    auto* digitsOnly = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* edit : lengthEdits_) {
        edit->setValidator(digitsOnly);
        edit->installEventFilter(this);
    }
    for (QComboBox* list : kindLists_)
        for (int kind = 0; kind < stepKindCount; ++kind) {
            const std::string_view text = stepKindTexts[kind];
            list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), kind);
        }
    showLengths();
    // Cancel does not take the focus from a length field, so that it is never held up by
    // the check of the field being left.
    ui_->cancelButton->setFocusPolicy(Qt::TabFocus);
    connect(ui_->okButton, &QPushButton::clicked, this, &TransmitSequenceDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &TransmitSequenceDialog::reject);
}

TransmitSequenceDialog::~TransmitSequenceDialog() {
    // The edits outlive this part of the dialog; their last focus change must not reach it.
    for (QLineEdit* edit : lengthEdits_)
        edit->removeEventFilter(this);
}

void TransmitSequenceDialog::setTable(const TransmitSequence& table) {
    table_ = table;
    steps_ = stepsOfTransmitSequence(table);
    for (int k = 0; k < editorStepCount; ++k)
        kindLists_[k]->setCurrentIndex(static_cast<int>(steps_[k].kind));
    showLengths();
}

void TransmitSequenceDialog::accept() {
    // A length confirmed with Enter has not left its field: it is taken and rounded here,
    // so that the table holds what the operator sees.
    if (!takeLengths()) return;
    roundStepLengths(steps_);
    showLengths();
    for (int k = 0; k < editorStepCount; ++k)
        steps_[k].kind = selectedKind(k);
    table_ = buildTransmitSequence(steps_);
    QDialog::accept();
}

bool TransmitSequenceDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !reportingFailure_) {
        // Only the operator moving on within the dialog leaves a field; the dialog losing
        // its activation to a message box or another program does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && takeLengths()) {
            roundStepLengths(steps_);
            showLengths();
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TransmitSequenceDialog::takeLengths() {
    const StepLengthCheck check =
        takeStepLengths([this](int step) { return lengthEdits_[step]->text().toStdString(); }, steps_);
    if (check.ok) return true;
    // Moving the focus to the failing field must not take the lengths again.
    const QScopedValueRollback<bool> reporting(reportingFailure_, true);
    showMessageBox(this, QString::fromStdString(check.message));
    QLineEdit* edit = lengthEdits_[check.step];
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return false;
}

void TransmitSequenceDialog::showLengths() {
    for (int k = 0; k < editorStepCount; ++k)
        lengthEdits_[k]->setText(QString::number(steps_[k].seconds));
}

StepKind TransmitSequenceDialog::selectedKind(int step) const {
    // The list takes typed text too; text that names no entry selects none, which the
    // table holds as "No Transmit".
    const QComboBox* list = kindLists_[step];
    const int entry = list->findText(list->currentText(), Qt::MatchFixedString);
    return entry < 0 ? StepKind::noTransmit : static_cast<StepKind>(list->itemData(entry).toInt());
}
