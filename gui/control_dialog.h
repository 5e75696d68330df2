#pragma once
// The operator's main window: the port list and the link buttons, the settings form,
// and the seam through which every timer operation talks to the operator.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QDialog>

#include "core/form/settings_form.h"
#include "core/form/settings_text.h"
#include "core/link/port_numbers.h"
#include "core/link/timer_session.h"
#include "core/operations/operation.h"
#include "core/operator_panel.h"
#include "core/settings_view.h"
#include "core/timer_settings.h"
#include "gui/settings_store.h"

namespace Ui {
class ControlDialog;
}
class QAbstractButton;
class QAction;
class AudioOutput;
class EventWindow;

class ControlDialog : public QDialog, public OperatorPanel, public SettingsView {
    Q_OBJECT

public:
    // The port list offers the devices found under devices (tests give a made-up tree).
    explicit ControlDialog(const DeviceRoots& devices = DeviceRoots{}, QWidget* parent = nullptr);
    ~ControlDialog() override;

    void showMessage(std::string_view text, MessageIcon icon = MessageIcon::Warning) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void sleepMs(int ms) override;
    void playInformationSound() override;
    void playErrorSound() override;
    int selectedPortNumber() override;
    void setIdentityText(std::string_view text) override;
    void updateLinkControls(bool connected) override;
    bool readForm(TimerSettings& settings) override;
    void showForm(const TimerSettings& settings) override;
    void updateModeControls(const TimerSettings& settings) override;
    std::optional<std::string> editToneSequence(const std::string& text) override;
    std::optional<std::array<std::uint8_t, 16>>
    editTransmitSequence(const std::array<std::uint8_t, 16>& table) override;
    std::optional<int> tuneOscillator(int current, const std::function<bool(int)>& sendTrim) override;
    std::optional<RingtoneChoice> editRingtone(const std::string& filePath) override;
    std::optional<std::string> chooseFileToOpen(std::string_view filter, std::string_view defaultExtension,
                                                const std::string& initialName) override;
    std::unique_ptr<ProgressHandle> openProgress(std::string_view title, bool smooth) override;
    bool confirm(std::string_view question) override;

    // Fills the form, the tone sequence, the step table and the sound file name from a setup
    // file, as if typed; nothing is sent. A refused file is reported and changes nothing.
    // A file with foxes opens the Event window beside this one, with its first fox in the form.
    bool openSetup(const QString& path);
    // The form's values with what the operator set: the tables edited, opened or read, the
    // ringtone and sound of this setup. Saved over the open event, they change the selected
    // fox's section alone.
    bool saveSetup(const QString& path);
    // The Event window of the event last opened; nothing before the first.
    EventWindow* eventWindow() const { return eventWindow_; }
    // The setup last opened or saved, as it was then; nothing before the first.
    const std::optional<TimerSetup>& openedSetup() const { return setup_; }

    const TimerSettings& settings() const { return settings_; }
    const TimerSession& session() const { return session_; }

    // QUIT and the Enter key: the settings are saved, and the window closes only when
    // every field of the form passes its check.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A setup file dropped on the window opens as "Open Setup..." opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The Event window of an event opened before this window showed goes beside it.
    void showEvent(QShowEvent* event) override;
    // The system menu's About entry (Windows).
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void prepareControls();
    void connectEvents();
    void initialise(const DeviceRoots& devices);
    // The ports present now; again each time the list is opened, the selection kept when
    // its port is still there.
    void fillPortList(const DeviceRoots& devices, bool atStart = true);
    void showAbout();
    void addSetupActions();
    void chooseSetupToOpen();
    void chooseSetupToSave();
    void updateSetupControls();
    bool openEvent(const QString& path, const std::string& content);
    void placeEventWindow();
    // The fox's setup in the form, as if opened.
    void showFox(std::size_t index);
    void writeFox(std::size_t index);
    bool saveFox(const QString& path);

    // Runs a timer operation; a failing serial port ends it with the system's message, the
    // way every button reports it.
    template <typename Operation> void runOperation(Operation operation);
    template <typename Operation> void onClicked(QAbstractButton* button, Operation operation);
    // Runs a writing operation; with "Verify after writing" on, what it wrote is read back.
    template <typename Operation> void verified(Operation operation);
    void connectTimer();

    void updateTransmitModeControls(const TimerSettings& settings);
    void updateAudioModeControls(const TimerSettings& settings);
    void updateRecoveryBeaconControls(const TimerSettings& settings);
    void stepLengthLeft();

    QWidget* controlOf(FormField field) const;
    std::string controlText(FormField field) const;
    void setControlText(FormField field, const std::string& text);
    void reportFormFailure(const FormCheck& check);

    std::unique_ptr<Ui::ControlDialog> ui_;
    TimerSettings settings_;
    TimerSession session_;
    OperationContext operation_;
    std::unique_ptr<AudioOutput> sounds_;
    DeviceRoots devices_;
    WindowChoices choices_;
    std::optional<TimerSetup> setup_;
    // What Save Setup saves beyond the form: the tables set and the ringtone and sound of this
    // setup, as opened, edited, loaded or read in this run.
    TimerSetup draft_;
    EventWindow* eventWindow_ = nullptr;
    std::optional<std::size_t> fox_; // the event's fox in the form
    QString baseTitle_;
    QAction* writeSetupAction_ = nullptr;
    int waitCursorDepth_ = 0;
    bool reportingFormFailure_ = false;
};
