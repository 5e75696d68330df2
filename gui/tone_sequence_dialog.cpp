#include "gui/tone_sequence_dialog.h"

#include <algorithm>

#include "core/form/settings_form.h"
#include "core/formats/tone_sequence.h"
#include "gui/dialog_units.h"
#include "gui/program.h"
#include "ui_tone_sequence_dialog.h"

ToneSequenceDialog::ToneSequenceDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ToneSequenceDialog>()) {
    ui_->setupUi(this);
    applyDialogUnits(*this);
    ui_->sequenceEdit->setMaxLength(toneSequenceMaxTextLength);
    connect(ui_->okButton, &QPushButton::clicked, this, &ToneSequenceDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &ToneSequenceDialog::reject);
}

ToneSequenceDialog::~ToneSequenceDialog() = default;

void ToneSequenceDialog::setText(const QString& text) {
    // A stored text can be longer than the operator may type (the settings store holds
    // whatever was put there). The edit would cut it silently; it is shown whole instead,
    // and OK asks for it to be shortened.
    ui_->sequenceEdit->setMaxLength(std::max<int>(toneSequenceMaxTextLength, text.size()));
    ui_->sequenceEdit->setText(text);
}

QString ToneSequenceDialog::text() const {
    return ui_->sequenceEdit->text();
}

void ToneSequenceDialog::accept() {
    if (ui_->sequenceEdit->text().size() > toneSequenceMaxTextLength) {
        showMessageBox(this, QString::fromStdString(formatLengthMessage(toneSequenceMaxTextLength)));
        ui_->sequenceEdit->setFocus();
        ui_->sequenceEdit->selectAll();
        return;
    }
    if (const std::string problem = toneSequenceOutOfRange(text().toStdString(), clockHz_);
        !problem.empty()) {
        showMessageBox(this, QString::fromStdString(problem));
        ui_->sequenceEdit->setFocus();
        return;
    }
    QDialog::accept();
}
