#pragma once
// "Ring Tone Dialog", run by "Load Ringtone": loads an RTTTL file, shows its defaults and
// sizes, plays its preview, and closes with OK on "Send to TAVO unit". What it does is
// RingtoneDialogModel's; this is its face.

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "core/operations/ringtone_dialog_model.h"

namespace Ui {
class RingtoneDialog;
}
class AudioOutput;

class RingtoneDialog : public QDialog, private RingtoneForm {
    Q_OBJECT

public:
    explicit RingtoneDialog(const std::string& filePath, QWidget* parent = nullptr);
    ~RingtoneDialog() override;

    const RingtoneDialogModel& model() const { return model_; }
    RingtoneChoice choice() const { return model_.choice(); }
    bool previewing() const { return previewing_; }

    // "Send to TAVO unit": closes with OK only when the form passes its checks.
    void accept() override;
    // "Close", Escape and the close box; during a preview Escape only ends the preview.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The sound of the preview: plays the tones and returns when they are done or
    // stopTones() was called.
    virtual void playTones(const std::vector<PlayedTone>& tones);
    virtual void stopTones();

private:
    void loadFileClicked();

    // RingtoneForm
    std::string controlText(RingtoneField field) override;
    void setControlText(RingtoneField field, const std::string& text) override;
    void reportFormFailure(RingtoneField field, std::string_view message) override;
    void showMessage(std::string_view text) override;
    void playPreview(const std::vector<PlayedTone>& tones) override;

    QWidget* controlOf(RingtoneField field) const;

    std::unique_ptr<Ui::RingtoneDialog> ui_;
    RingtoneDialogModel model_;
    std::unique_ptr<AudioOutput> audio_;
    bool previewing_ = false;
};
