#pragma once
// The editor of the tone sequence text, run by the "Edit Sequence" button of the audio
// settings.

#include <memory>

#include <QDialog>
#include <QString>

#include "core/timer_settings.h"

namespace Ui {
class ToneSequenceDialog;
}

class ToneSequenceDialog : public QDialog {
    Q_OBJECT

public:
    explicit ToneSequenceDialog(QWidget* parent = nullptr);
    ~ToneSequenceDialog() override;

    void setText(const QString& text);
    QString text() const;

    // The clock of the timer the sequence is for: it sets the highest frequency.
    void setClockHz(int clockHz) { clockHz_ = clockHz; }

    // Closes with OK only when the text is within its length and every tone within what the
    // timer plays.
    void accept() override;

private:
    int clockHz_ = TimerClock::model684Hz;
    std::unique_ptr<Ui::ToneSequenceDialog> ui_;
};
