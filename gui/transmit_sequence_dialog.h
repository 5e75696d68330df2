#pragma once
// The editor of the step table of sequenced transmission, run by the "Edit Sequence"
// button of the controller settings: six steps, each a length in seconds and a kind.

#include <array>
#include <memory>

#include <QDialog>

#include "core/formats/transmit_sequence.h"

namespace Ui {
class TransmitSequenceDialog;
}
class QComboBox;
class QLineEdit;

class TransmitSequenceDialog : public QDialog {
    Q_OBJECT

public:
    explicit TransmitSequenceDialog(QWidget* parent = nullptr);
    ~TransmitSequenceDialog() override;

    // The table before the dialog runs; after OK, the table of the steps as shown.
    void setTable(const TransmitSequence& table);
    const TransmitSequence& table() const { return table_; }

    // Takes the lengths with their checks and rounds them, builds the table and closes
    // with OK; a length out of range is reported and the dialog stays open.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The six lengths from their fields; false after the failing one has been reported.
    bool takeLengths();
    void showLengths();
    StepKind selectedKind(int step) const;

    std::unique_ptr<Ui::TransmitSequenceDialog> ui_;
    std::array<QLineEdit*, editorStepCount> lengthEdits_{};
    std::array<QComboBox*, editorStepCount> kindLists_{};
    TransmitSteps steps_{};
    TransmitSequence table_{};
    bool reportingFailure_ = false;
};
