#pragma once
// The editor of the tone sequence text, run by the "Edit Sequence" button of the audio
// settings.

#include <memory>

#include <QDialog>
#include <QString>

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

    // Closes with OK only when the text is within its length.
    void accept() override;

private:
    std::unique_ptr<Ui::ToneSequenceDialog> ui_;
};
