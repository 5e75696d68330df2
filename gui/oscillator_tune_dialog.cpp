#include "gui/oscillator_tune_dialog.h"

#include <QSignalBlocker>

#include "core/operations/oscillator_tuning.h"
#include "gui/dialog_units.h"
#include "ui_oscillator_tune_dialog.h"

namespace {

constexpr const char* trimEntryFormat = "%+d";

} // namespace

OscillatorTuneDialog::OscillatorTuneDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::OscillatorTuneDialog>()) {
    ui_->setupUi(this);
    applyDialogUnits(*this);
    for (int trim = TuningTrims::highestListed; trim >= TuningTrims::lowestListed; --trim)
        ui_->tuneValueList->addItem(QString::asprintf(trimEntryFormat, trim), trim);
    setValue(0);
    connect(ui_->tuneValueList, &QComboBox::currentIndexChanged, this,
            &OscillatorTuneDialog::selectionChanged);
    connect(ui_->okButton, &QPushButton::clicked, this, &OscillatorTuneDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &OscillatorTuneDialog::reject);
}

OscillatorTuneDialog::~OscillatorTuneDialog() = default;

void OscillatorTuneDialog::setValue(int value) {
    value_ = value;
    // Showing the value is no selection of the operator's: nothing goes to the timer.
    const QSignalBlocker quiet(ui_->tuneValueList);
    const int entry = ui_->tuneValueList->findData(value);
    ui_->tuneValueList->setCurrentIndex(entry >= 0 ? entry : 0);
}

void OscillatorTuneDialog::selectionChanged(int entry) {
    if (entry < 0) return;
    value_ = ui_->tuneValueList->itemData(entry).toInt();
    emit valueSelected(value_);
}
