#pragma once
// The dialog of oscillator tuning, run by the "Calibrate" button: the operator picks trims
// while watching a frequency counter on the timer.

#include <memory>

#include <QDialog>

namespace Ui {
class OscillatorTuneDialog;
}

class OscillatorTuneDialog : public QDialog {
    Q_OBJECT

public:
    explicit OscillatorTuneDialog(QWidget* parent = nullptr);
    ~OscillatorTuneDialog() override;

    // Selects the entry of value; a trim the list does not offer shows the first entry
    // and is kept as the value until the operator selects another.
    void setValue(int value);
    int value() const { return value_; }

signals:
    // The operator selected another trim; the timer is to get it at once.
    void valueSelected(int value);

private:
    void selectionChanged(int entry);

    std::unique_ptr<Ui::OscillatorTuneDialog> ui_;
    int value_ = 0;
};
