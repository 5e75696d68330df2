#include "gui/control_dialog.h"

#include <algorithm>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDate>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QValidator>

#include "core/decimal.h"
#include "core/form/event_file.h"
#include "core/formats/config_image.h"
#include "core/formats/tone_sequence.h"
#include "core/link/link_interrupt.h"
#include "core/link/port_names.h"
#include "core/link/port_numbers.h"
#include "core/operations/configuration.h"
#include "core/operations/connect.h"
#include "core/operations/oscillator_tuning.h"
#include "core/operations/ringtone_load.h"
#include "core/operations/sound_upload.h"
#include "core/operations/tone_sequence_edit.h"
#include "core/operations/transmit_sequence_edit.h"
#include "core/operations/whole_setup.h"
#include "gui/about_dialog.h"
#include "gui/audio_output.h"
#include "gui/dialog_units.h"
#include "gui/event_window.h"
#include "gui/file_dialog.h"
#include "gui/oscillator_tune_dialog.h"
#include "gui/program.h"
#include "gui/progress_window.h"
#include "gui/ringtone_dialog.h"
#include "gui/settings_store.h"
#include "gui/system_menu.h"
#include "gui/tone_sequence_dialog.h"
#include "gui/transmit_sequence_dialog.h"
#include "gui/write_log_dialog.h"
#include "ui_control_dialog.h"

namespace {

const QString noPortsText = QStringLiteral("Er zijn geen serieele poorten beschikbaar op dit systeem");
const QString aboutEntryText = QStringLiteral("&About molvex...");
constexpr unsigned aboutCommand = 16;
const QStringList soundEffects{QStringLiteral("Sirene"), QStringLiteral("Effect 2")};
const QString openSetupText = QStringLiteral("&Open Setup...");
const QString saveSetupText = QStringLiteral("&Save Setup...");
const QString writeSetupText = QStringLiteral("&Write Whole Setup to Timer");
const QString verifyWritesText = QStringLiteral("&Verify after writing");
const QString showWriteLogText = QStringLiteral("Show Write &Log...");
constexpr const char* setupOpenFilter = "Timer Setups (*.tavofox)|*.tavofox|All Files (*.*)|*.*||";
constexpr const char* setupSaveFilter = "Timer Setups (*.tavofox)|*.tavofox||";
constexpr const char* cannotReadSetup = "The setup file cannot be read: ";
constexpr const char* cannotWriteSetup = "The setup file cannot be written: ";
constexpr qsizetype captionNameLength = 12;
// Larger than any setup; a larger file is no setup.
constexpr qint64 setupFileLimit = 1 << 20;

bool succeeded(bool written) {
    return written;
}

bool succeeded(Outcome outcome) {
    return outcome == Outcome::done;
}

// The first line of a ringtone file, the melody a setup carries; nothing for one the timer
// cannot play.
std::string ringtoneLineOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (path.empty() || !file.open(QIODevice::ReadOnly)) return {};
    TimerSetup setup;
    setup.ringtone = file.readLine(4096).trimmed().toStdString();
    return setupRingtoneMelody(setup) ? setup.ringtone : std::string();
}

// The CW text edit: letters become capitals as they are typed. The timer keys one byte per
// character, so only the characters of the form's CW rule are taken.
class CapitalsValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        for (QChar& c : input) {
            if (!cwCharacterAllowed(c.unicode())) return Invalid;
            c = QChar(static_cast<char16_t>(cwCapital(c.unicode())));
        }
        return Acceptable;
    }
};

void enableAll(std::initializer_list<QWidget*> widgets, bool enabled) {
    for (QWidget* widget : widgets)
        widget->setEnabled(enabled);
}

// Radio groups give the index of their checked button in the order of the form.
void numberButtons(QButtonGroup* group, std::initializer_list<QAbstractButton*> buttons) {
    int index = 0;
    for (QAbstractButton* button : buttons)
        group->setId(button, index++);
}

// The setup's name as the caption shows it before the program's own: without its extension,
// and a long name shortened in its middle, so that the whole caption fits the title bar of a
// window this narrow.
QString captionName(const std::string& setupPath) {
    const QString name = QFileInfo(QString::fromStdString(setupPath)).completeBaseName();
    if (name.size() <= captionNameLength) return name;
    return name.left(captionNameLength / 2) + QChar(0x2026) +
           name.right(captionNameLength - captionNameLength / 2 - 1);
}

QAbstractButton* focusButtonOf(QButtonGroup* group) {
    if (QAbstractButton* checked = group->checkedButton()) return checked;
    return group->button(0);
}

} // namespace

ControlDialog::ControlDialog(const DeviceRoots& devices, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ControlDialog>()),
      session_(*this, *this, settings_), operation_{session_, *this, *this, settings_},
      sounds_(std::make_unique<AudioOutput>()) {
    ui_->setupUi(this);
    baseTitle_ = windowTitle();
    applyDialogUnits(*this);
    prepareControls();
    connectEvents();
    initialise(devices);
}

ControlDialog::~ControlDialog() {
    // The children outlive this part of the window; their last focus changes must not
    // reach the form's handlers.
    for (QLineEdit* edit : {ui_->stepLengthEdit, ui_->autoShutdownEdit, ui_->cwSpeedEdit})
        edit->removeEventFilter(this);
    saveSettings(settings_);
    while (waitCursorDepth_ > 0)
        endWaitCursor();
}

void ControlDialog::prepareControls() {
    // The digits-only edits refuse other keys; an empty field still reaches the form's check.
    auto* digitsOnly = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* edit :
         {ui_->startupDelayEdit, ui_->autoShutdownEdit, ui_->recoveryBeaconDelayEdit, ui_->cycleIdEdit,
          ui_->transmitterCountEdit, ui_->stepLengthEdit, ui_->tableLengthEdit})
        edit->setValidator(digitsOnly);
    ui_->cwTextEdit->setValidator(new CapitalsValidator(this));
    ui_->cwTextEdit->setMaxLength(cwTextMaxLength);

    numberButtons(ui_->transmissionGroup, {ui_->continuousRadio, ui_->cycledRadio, ui_->sequencedRadio});
    numberButtons(ui_->audioGroup, {ui_->singleToneRadio, ui_->cwMessageRadio, ui_->soundEffectRadio,
                                    ui_->waveFileRadio, ui_->toneSequenceRadio, ui_->ringtoneRadio});
    numberButtons(ui_->outputLevelGroup, {ui_->level100Radio, ui_->level50Radio});
}

void ControlDialog::connectEvents() {
    onClicked(ui_->connectButton, [this] { connectTimer(); });
    onClicked(ui_->retrieveButton, [this] {
        if (readConfiguration(operation_)) takeTimerTables(draft_, settings_);
    });
    onClicked(ui_->writeButton, [this] { verified([this] { return writeConfiguration(operation_); }); });
    onClicked(ui_->resetButton, [this] { session_.resetTimer(); });
    onClicked(ui_->syncButton, [this] { session_.startTestMode(); });
    // What the operator edits or loads belongs to the setup Save Setup saves.
    onClicked(ui_->toneSequenceButton, [this] {
        verified([this] {
            const Outcome outcome = ::editToneSequence(operation_);
            if (outcome == Outcome::done) draft_.toneSequenceSet = true;
            return outcome;
        });
    });
    onClicked(ui_->transmitSequenceButton, [this] {
        verified([this] {
            const auto outcome = ::editTransmitSequence(operation_);
            if (succeeded(outcome)) draft_.transmitSequenceSet = true;
            return outcome;
        });
    });
    onClicked(ui_->calibrateButton, [this] { ::tuneOscillator(operation_); });
    onClicked(ui_->loadRingtoneButton, [this] {
        verified([this] {
            const Outcome outcome = ::loadRingtone(operation_);
            if (outcome == Outcome::done) draft_.ringtone = ringtoneLineOf(settings_.ringtoneFilePath);
            return outcome;
        });
    });
    onClicked(ui_->loadSoundButton, [this] {
        if (::loadSoundSample(operation_) == Outcome::done) draft_.soundFile = settings_.audioFilePath;
    });
    connect(ui_->quitButton, &QPushButton::clicked, this, &ControlDialog::accept);

    connect(ui_->transmissionGroup, &QButtonGroup::idClicked, this, [this] {
        readForm(settings_);
        updateTransmitModeControls(settings_);
    });
    const auto audioChoice = [this] {
        readForm(settings_);
        updateAudioModeControls(settings_);
    };
    connect(ui_->audioGroup, &QButtonGroup::idClicked, this, audioChoice);
    connect(ui_->autoIdCheck, &QCheckBox::clicked, this, audioChoice);
    for (QLineEdit* edit : {ui_->stepLengthEdit, ui_->autoShutdownEdit, ui_->cwSpeedEdit})
        edit->installEventFilter(this);
    ui_->portList->installEventFilter(this);
}

void ControlDialog::initialise(const DeviceRoots& devices) {
    ui_->soundEffectList->addItems(soundEffects);
    showForm(settings_);

    // Where the window manager owns the window's system menu (Linux), the About entry follows
    // the setup entries in the window's context menu; on Windows it is in the system menu.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    addSetupActions();
    appendSystemMenuEntry(*this, aboutEntryText, aboutCommand, [this] { showAbout(); });

    setWindowIcon(programIcon());
    loadSettings(settings_);
    devices_ = devices;
    fillPortList(devices);
    settings_.transmitSequence.fill(0);

    updateTransmitModeControls(settings_);
    updateAudioModeControls(settings_);
    updateLinkControls(session_.connected());
    updateRecoveryBeaconControls(settings_);
}

void ControlDialog::fillPortList(const DeviceRoots& devices, bool atStart) {
    std::vector<unsigned> ports;
    enumerateSerialPorts(ports, devices);
    if (ports.empty() && atStart) showMessage(noPortsText.toStdString());

    QComboBox* list = ui_->portList;
    const int kept = atStart ? settings_.comPort : selectedPortNumber();
    list->clear();
    for (unsigned port : ports) {
        const QString entry = QString::fromStdString(portName(port));
        // Sorted by text, as the list always was: COM10 stands before COM2.
        int row = 0;
        while (row < list->count() && QString::compare(list->itemText(row), entry, Qt::CaseInsensitive) <= 0)
            ++row;
        list->insertItem(row, entry, port);
        list->setItemData(row, QString::fromStdString(portDevicePath(static_cast<int>(port), devices)),
                          Qt::ToolTipRole);
    }
    const int saved = list->findData(kept);
    list->setCurrentIndex(saved >= 0 ? saved : (list->count() > 0 ? 0 : -1));
}

void ControlDialog::showAbout() {
    AboutDialog about(this);
    about.exec();
}

template <typename Operation> void ControlDialog::runOperation(Operation operation) {
    // A stop asked for (the progress display's Escape, button or close box) holds for the
    // operation it was asked in only.
    LinkInterrupt::clear();
    try {
        operation();
    } catch (const CSerialException& e) {
        // The operation has stopped where the port failed; its wait cursor goes with it.
        while (waitCursorDepth_ > 0)
            endWaitCursor();
        showMessage(e.message(), MessageIcon::Stop);
    }
}

template <typename Operation> void ControlDialog::onClicked(QAbstractButton* button, Operation operation) {
    connect(button, &QAbstractButton::clicked, this, [this, operation] { runOperation(operation); });
}

template <typename Operation> void ControlDialog::verified(Operation operation) {
    const std::size_t first = session_.writtenBlocks().size();
    if (!succeeded(operation()) || !choices_.verifyWrites) return;
    const std::vector<WrittenBlock>& blocks = session_.writtenBlocks();
    const std::optional<ReadBackDifference> difference =
        readBackDifference(session_, std::span(blocks).subspan(std::min(first, blocks.size())));
    if (difference) showMessage(difference->text);
}

void ControlDialog::addSetupActions() {
    choices_ = loadWindowChoices();
    QAction* open = addAction(openSetupText);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &ControlDialog::chooseSetupToOpen);
    QAction* save = addAction(saveSetupText);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, &ControlDialog::chooseSetupToSave);
    writeSetupAction_ = addAction(writeSetupText);
    writeSetupAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    connect(writeSetupAction_, &QAction::triggered, this, [this] {
        runOperation([this] {
            if (!setup_) return;
            const SetupWriteRequest request{choices_.setupFile,
                                            {},
                                            portName(static_cast<unsigned>(settings_.comPort)),
                                            std::nullopt,
                                            SoundChoice::ask};
            const SetupWriteOutcome outcome = writeSetup(operation_, *setup_, request);
            updateSetupControls();
            showMessage(outcome.message);
        });
        updateSetupControls();
    });
    QAction* log = addAction(showWriteLogText);
    connect(log, &QAction::triggered, this, [this] { showWriteLog(this); });
    QAction* verify = addAction(verifyWritesText);
    verify->setCheckable(true);
    verify->setChecked(choices_.verifyWrites);
    connect(verify, &QAction::toggled, this, [this](bool on) {
        choices_.verifyWrites = on;
        saveWindowChoices(choices_);
    });
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    setAcceptDrops(true);
    updateSetupControls();
}

void ControlDialog::updateSetupControls() {
    writeSetupAction_->setEnabled(session_.connected() && setup_.has_value());
    // The title names the setup (and the event's fox) only while the form shows its values:
    // not over a timer's own.
    QString file = captionName(choices_.setupFile);
    if (fox_)
        file = QString::fromStdString(eventWindow_->eventSetup().foxes.at(*fox_).name) +
               QStringLiteral(" - ") + file;
    setWindowTitle(setup_ && formHoldsSetup(settings_, *setup_)
                       ? QStringLiteral("%1 - %2").arg(file, baseTitle_)
                       : baseTitle_);
}

void ControlDialog::chooseSetupToOpen() {
    if (const auto path = chooseFileToOpen(setupOpenFilter, setupFileExtension, choices_.setupFile))
        openSetup(QString::fromStdString(*path));
}

void ControlDialog::chooseSetupToSave() {
    if (const auto path =
            chooseFile(this, FileDialogMode::save, setupSaveFilter, setupFileExtension, choices_.setupFile))
        saveSetup(*path);
}

bool ControlDialog::openSetup(const QString& path) {
    QFile file(path);
    const QString directory = QFileInfo(path).absolutePath();
    std::string error;
    std::optional<TimerSetup> setup;
    if (!file.open(QIODevice::ReadOnly) || file.size() > setupFileLimit) {
        error = file.errorString().toStdString();
    } else {
        const std::string content = file.readAll().toStdString();
        if (const auto sections = splitEventSections(content, error); sections && sections->hasFoxes())
            return openEvent(path, content);
        setup = parseSetupText(content, directory.toStdString(), settings_, error);
    }
    if (!setup) {
        showMessage(cannotReadSetup + QFileInfo(path).fileName().toStdString() + "\n" + error);
        return false;
    }
    // As if typed: the form's fields and what the editors and file choices hold; what the
    // file leaves out keeps its value.
    settings_ = setup->settings;
    if (!setup->soundFile.empty()) settings_.audioFilePath = setup->soundFile;
    showForm(settings_);
    updateModeControls(settings_);
    draft_ = *setup;
    setup_ = std::move(setup);
    fox_.reset();
    if (eventWindow_) eventWindow_->hide();
    choices_.setupFile = QFileInfo(path).absoluteFilePath().toStdString();
    saveWindowChoices(choices_);
    updateSetupControls();
    return true;
}

bool ControlDialog::openEvent(const QString& path, const std::string& content) {
    std::string error;
    const std::optional<EventSetup> event =
        parseEventText(content, QFileInfo(path).absolutePath().toStdString(), settings_, error);
    if (!event) {
        showMessage(cannotReadSetup + QFileInfo(path).fileName().toStdString() + "\n" + error);
        return false;
    }
    if (!eventWindow_) {
        eventWindow_ = new EventWindow(this);
        connect(eventWindow_, &EventWindow::foxSelected, this, [this](int index) { showFox(index); });
        connect(eventWindow_, &EventWindow::writeRequested, this, [this](int index) { writeFox(index); });
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // The same event again (saved from the form) keeps its fox in the form.
    const std::size_t index =
        absolute == eventWindow_->path() && fox_ && *fox_ < event->foxes.size() ? *fox_ : 0;
    eventWindow_->setEvent(*event, absolute);
    eventWindow_->showLog(readWriteLog().value_or(std::vector<WriteLogEntry>{}));
    eventWindow_->setConnected(session_.connected());
    choices_.setupFile = absolute.toStdString();
    saveWindowChoices(choices_);
    eventWindow_->selectFox(index);
    showFox(index);
    const bool placed = eventWindow_->isVisible();
    eventWindow_->show();
    eventWindow_->raise();
    if (!placed && isVisible()) placeEventWindow();
    return true;
}

void ControlDialog::placeEventWindow() {
    // Beside the main window, as tall as it is and wide enough for a state; both moved left
    // where the screen ends.
    eventWindow_->resize(std::max(eventWindow_->sizeHint().width(), width() * 3 / 2), height());
    const QRect screen = this->screen()->availableGeometry();
    const int gap = frameGeometry().width() - width() + 8;
    const int total = frameGeometry().width() + gap + eventWindow_->width();
    const int left = std::max(screen.left(), std::min(frameGeometry().left(), screen.right() - total));
    move(left, frameGeometry().top());
    eventWindow_->move(left + frameGeometry().width() + 8, frameGeometry().top());
}

void ControlDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (eventWindow_ && eventWindow_->isVisible())
        QTimer::singleShot(0, this, [this] {
            placeEventWindow();
            eventWindow_->raise();
        });
}

void ControlDialog::showFox(std::size_t index) {
    const EventFox& fox = eventWindow_->eventSetup().foxes.at(index);
    const int port = settings_.comPort;
    settings_ = fox.setup.settings;
    settings_.comPort = port;
    if (!fox.setup.soundFile.empty()) settings_.audioFilePath = fox.setup.soundFile;
    showForm(settings_);
    updateModeControls(settings_);
    draft_ = fox.setup;
    setup_ = fox.setup;
    fox_ = index;
    updateSetupControls();
}

void ControlDialog::writeFox(std::size_t index) {
    const EventFox fox = eventWindow_->eventSetup().foxes.at(index);
    const std::string port = portName(static_cast<unsigned>(settings_.comPort));
    bool complete = false;
    runOperation([&] {
        const SetupWriteRequest request{eventWindow_->path().toStdString(), fox.name, port, std::nullopt,
                                        SoundChoice::ask};
        const SetupWriteOutcome outcome = writeSetup(operation_, fox.setup, request);
        complete = outcome.complete();
        updateSetupControls();
        showMessage(outcome.message);
    });
    updateSetupControls();
    // Read back as written: the timer holds this fox now.
    if (complete) eventWindow_->markTimer(fox.setup.settings, QString::fromStdString(port));
    eventWindow_->showLog(readWriteLog().value_or(std::vector<WriteLogEntry>{}));
    if (complete) eventWindow_->selectNextUnwritten(index);
}

bool ControlDialog::saveSetup(const QString& path) {
    if (eventWindow_ && fox_ && QFileInfo(path).absoluteFilePath() == eventWindow_->path())
        return saveFox(path);
    if (!readForm(settings_)) return false;
    TimerSetup setup = setupToSave(draft_, settings_);
    if (session_.connected()) {
        setup.timer = setupTimerText(session_.identity());
        setup.saved = QDate::currentDate().toString(Qt::ISODate).toStdString();
    }
    const QString directory = QFileInfo(path).absolutePath();
    const std::string text = formatSetupText(setup, directory.toStdString());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.flush()) {
        showMessage(cannotWriteSetup + QFileInfo(path).fileName().toStdString() + "\n" +
                    file.errorString().toStdString());
        return false;
    }
    // Held as the file holds it: what it leaves not set is not written.
    std::string error;
    setup_ = parseSetupText(text, directory.toStdString(), settings_, error);
    if (setup_) draft_ = *setup_;
    if (!setup_) showMessage(cannotReadSetup + QFileInfo(path).fileName().toStdString() + "\n" + error);
    choices_.setupFile = QFileInfo(path).absoluteFilePath().toStdString();
    saveWindowChoices(choices_);
    updateSetupControls();
    return true;
}

bool ControlDialog::saveFox(const QString& path) {
    if (!readForm(settings_)) return false;
    const EventFox& fox = eventWindow_->eventSetup().foxes.at(*fox_);
    const TimerSetup changed = setupToSave(draft_, settings_);
    const std::string directory = QFileInfo(path).absolutePath().toStdString();
    const std::string name = QFileInfo(path).fileName().toStdString();
    QFile current(path);
    std::string error;
    std::optional<EventSections> sections;
    std::string content;
    if (current.open(QIODevice::ReadOnly) && current.size() <= setupFileLimit) {
        content = current.readAll().toStdString();
        sections = splitEventSections(content, error);
    } else {
        error = current.errorString().toStdString();
    }
    const auto section = sections ? std::find_if(sections->sections.begin(), sections->sections.end(),
                                                 [&fox](const EventSection& s) { return s.name == fox.name; })
                                  : std::vector<EventSection>::const_iterator();
    if (!sections || section == sections->sections.end()) {
        showMessage(cannotReadSetup + name + "\n" + error);
        return false;
    }
    const std::string text =
        savedFoxText(*sections, static_cast<std::size_t>(section - sections->sections.begin()),
                     formatSetupText(fox.setup, directory), formatSetupText(changed, directory));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        showMessage(cannotWriteSetup + name + "\n" + file.errorString().toStdString());
        return false;
    }
    return openEvent(path, text);
}

void ControlDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.constFirst().isLocalFile()) event->acceptProposedAction();
}

void ControlDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile()) return;
    event->acceptProposedAction();
    openSetup(urls.constFirst().toLocalFile());
}

bool ControlDialog::confirm(std::string_view question) {
    // As for a message: the box waits for an answer, not the operation.
    const bool waiting = waitCursorDepth_ > 0;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const QScopeGuard restore([waiting] {
        if (waiting) QApplication::restoreOverrideCursor();
    });
    QMessageBox box(QMessageBox::Question, programName(),
                    QString::fromUtf8(question.data(), static_cast<qsizetype>(question.size())),
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

void ControlDialog::connectTimer() {
    ConfigImage image;
    const Connection connection = ::connectTimer(operation_, true, &image);
    if (connection == Connection::connected) takeTimerTables(draft_, settings_);
    updateSetupControls();
    if (connection != Connection::connected || !eventWindow_) return;
    // What the timer holds; one never written holds no fox.
    std::optional<TimerSettings> held;
    if (image.settingsStored()) image.decode(held.emplace(), session_.clockHz());
    eventWindow_->markTimer(held, QString::fromStdString(portName(static_cast<unsigned>(settings_.comPort))));
}

void ControlDialog::accept() {
    saveSettings(settings_);
    if (readForm(settings_)) QDialog::accept();
}

bool ControlDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (systemCommand(eventType, message) == aboutCommand) {
        showAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}

bool ControlDialog::eventFilter(QObject* watched, QEvent* event) {
    // The list is enumerated again as it opens, so that an adapter plugged in since appears.
    if (watched == ui_->portList) {
        const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
        const bool opens = event->type() == QEvent::MouseButtonPress ||
                           (key && (key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space ||
                                    ((key->modifiers() & Qt::AltModifier) &&
                                     (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up))));
        if (opens) fillPortList(devices_, false);
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusOut && !reportingFormFailure_) {
        // Only the operator moving on within the window leaves a field; the window losing
        // its activation to a message box or another program does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == ui_->stepLengthEdit) {
                stepLengthLeft();
            } else if (watched == ui_->autoShutdownEdit) {
                readForm(settings_);
                updateRecoveryBeaconControls(settings_);
            } else if (watched == ui_->cwSpeedEdit) {
                readForm(settings_);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ControlDialog::stepLengthLeft() {
    readForm(settings_);
    settings_.stepLength = roundStepLength(settings_.stepLength);
    showForm(settings_);
}

// OperatorPanel

void ControlDialog::showMessage(std::string_view text, MessageIcon icon) {
    // An operation's wait cursor would hide that the box waits for an answer.
    const bool waiting = waitCursorDepth_ > 0;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    showMessageBox(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), icon);
    if (waiting) QApplication::restoreOverrideCursor();
}

void ControlDialog::beginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++waitCursorDepth_;
}

void ControlDialog::endWaitCursor() {
    if (waitCursorDepth_ == 0) return;
    QApplication::restoreOverrideCursor();
    --waitCursorDepth_;
}

void ControlDialog::sleepMs(int ms) {
    // The timer's fixed waits block the window like any other step of an operation.
    QThread::msleep(static_cast<unsigned long>(std::max(ms, 0)));
}

void ControlDialog::playInformationSound() {
    sounds_->playInformationSound();
}

void ControlDialog::playErrorSound() {
    sounds_->playErrorSound();
}

int ControlDialog::selectedPortNumber() {
    const QVariant port = ui_->portList->currentData();
    return port.isValid() ? port.toInt() : -1;
}

void ControlDialog::setIdentityText(std::string_view text) {
    ui_->identityEdit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void ControlDialog::updateLinkControls(bool connected) {
    enableAll(
        {ui_->retrieveButton, ui_->writeButton, ui_->syncButton, ui_->calibrateButton, ui_->resetButton},
        connected);
    if (writeSetupAction_) writeSetupAction_->setEnabled(connected && setup_.has_value());
    if (eventWindow_) eventWindow_->setConnected(connected);
}

bool ControlDialog::readForm(TimerSettings& settings) {
    const FormCheck check = takeForm([this](FormField field) { return controlText(field); }, settings);
    if (check.ok) return true;
    reportFormFailure(check);
    return false;
}

void ControlDialog::showForm(const TimerSettings& settings) {
    for (FormField field : formExchangeOrder)
        setControlText(field, formFieldText(field, settings));
}

void ControlDialog::updateModeControls(const TimerSettings& settings) {
    updateTransmitModeControls(settings);
    updateAudioModeControls(settings);
    updateRecoveryBeaconControls(settings);
}

std::optional<std::string> ControlDialog::editToneSequence(const std::string& text) {
    ToneSequenceDialog editor(this);
    editor.setText(QString::fromStdString(text));
    editor.setClockHz(session_.clockHz());
    if (editor.exec() != QDialog::Accepted) return std::nullopt;
    return editor.text().toStdString();
}

std::optional<std::array<std::uint8_t, 16>>
ControlDialog::editTransmitSequence(const std::array<std::uint8_t, 16>& table) {
    TransmitSequenceDialog editor(this);
    editor.setTable(table);
    if (editor.exec() != QDialog::Accepted) return std::nullopt;
    return editor.table();
}

std::optional<int> ControlDialog::tuneOscillator(int current, const std::function<bool(int)>& sendTrim) {
    OscillatorTuneDialog tuner(this);
    tuner.setValue(current);
    // A port failure may not leave through the dialog's event loop: it closes the dialog
    // and goes on from here, to be reported as every button reports it.
    std::optional<CSerialException> portFailure;
    connect(&tuner, &OscillatorTuneDialog::valueSelected, &tuner, [&](int trim) {
        try {
            // The answer is not looked at: the operator watches the counter, not the echo.
            sendTrim(trim);
        } catch (const CSerialException& e) {
            portFailure = e;
            tuner.reject();
        }
    });
    const bool accepted = tuner.exec() == QDialog::Accepted;
    if (portFailure) throw *portFailure;
    if (!accepted) return std::nullopt;
    return tuner.value();
}

std::optional<RingtoneChoice> ControlDialog::editRingtone(const std::string& filePath) {
    RingtoneDialog editor(filePath, this);
    if (editor.exec() != QDialog::Accepted) return std::nullopt;
    return editor.choice();
}

std::optional<std::string> ControlDialog::chooseFileToOpen(std::string_view filter,
                                                           std::string_view defaultExtension,
                                                           const std::string& initialName) {
    const std::optional<QString> path =
        chooseFile(this, FileDialogMode::open, filter, defaultExtension, initialName);
    if (!path) return std::nullopt;
    return path->toStdString();
}

std::unique_ptr<ProgressHandle> ControlDialog::openProgress(std::string_view title, bool smooth) {
    return std::make_unique<ProgressWindowHandle>(this, title, smooth);
}

// The enabling rules

void ControlDialog::updateTransmitModeControls(const TimerSettings& settings) {
    const TransmitModeEnables enables = transmitModeEnables(settings);
    enableAll({ui_->transmitterCountLabel, ui_->transmitterCountEdit, ui_->cycleIdLabel, ui_->cycleIdEdit,
               ui_->stepLengthLabel, ui_->stepLengthEdit},
              enables.cycleControls);
    ui_->transmitSequenceButton->setEnabled(enables.sequenceButton);
}

void ControlDialog::updateAudioModeControls(const TimerSettings& settings) {
    const AudioModeEnables enables = audioModeEnables(settings);
    ui_->toneFrequencyEdit->setEnabled(enables.toneFrequency);
    ui_->cwTextEdit->setEnabled(enables.cwText);
    enableAll({ui_->cwSpeedLabel, ui_->cwSpeedEdit, ui_->wpmLabel, ui_->keyedCheck, ui_->autoIdCheck},
              enables.cwControls);
    ui_->soundEffectList->setEnabled(enables.soundEffect);
    enableAll({ui_->loadSoundButton, ui_->tableLengthLabel, ui_->tableLengthEdit}, enables.loadSound);
    ui_->toneSequenceButton->setEnabled(enables.toneSequenceButton);
    ui_->loadRingtoneButton->setEnabled(enables.loadRingtone);
    enableAll({ui_->outputLevelLabel, ui_->level100Radio, ui_->level50Radio}, enables.outputLevel);
}

void ControlDialog::updateRecoveryBeaconControls(const TimerSettings& settings) {
    enableAll({ui_->recoveryBeaconDelayLabel, ui_->recoveryBeaconDelayEdit}, recoveryBeaconEnabled(settings));
}

// The form exchange

QWidget* ControlDialog::controlOf(FormField field) const {
    switch (field) {
    case FormField::transmitterCount:
        return ui_->transmitterCountEdit;
    case FormField::stepLength:
        return ui_->stepLengthEdit;
    case FormField::startupDelay:
        return ui_->startupDelayEdit;
    case FormField::cycleId:
        return ui_->cycleIdEdit;
    case FormField::transmitMode:
        return focusButtonOf(ui_->transmissionGroup);
    case FormField::audioMode:
        return focusButtonOf(ui_->audioGroup);
    case FormField::soundEffect:
        return ui_->soundEffectList;
    case FormField::cwText:
        return ui_->cwTextEdit;
    case FormField::autoShutdown:
        return ui_->autoShutdownEdit;
    case FormField::toneFrequency:
        return ui_->toneFrequencyEdit;
    case FormField::keyed:
        return ui_->keyedCheck;
    case FormField::autoId:
        return ui_->autoIdCheck;
    case FormField::cwSpeed:
        return ui_->cwSpeedEdit;
    case FormField::outputLevel:
        return focusButtonOf(ui_->outputLevelGroup);
    case FormField::tableLength:
        return ui_->tableLengthEdit;
    case FormField::recoveryBeaconDelay:
        return ui_->recoveryBeaconDelayEdit;
    }
    return nullptr;
}

std::string ControlDialog::controlText(FormField field) const {
    switch (field) {
    case FormField::transmitMode:
        return std::to_string(ui_->transmissionGroup->checkedId());
    case FormField::audioMode:
        return std::to_string(ui_->audioGroup->checkedId());
    case FormField::outputLevel:
        return std::to_string(ui_->outputLevelGroup->checkedId());
    case FormField::soundEffect:
        return std::to_string(ui_->soundEffectList->currentIndex());
    case FormField::keyed:
        return ui_->keyedCheck->isChecked() ? "1" : "0";
    case FormField::autoId:
        return ui_->autoIdCheck->isChecked() ? "1" : "0";
    case FormField::cwText:
        // One byte per character, as the timer keys it.
        return ui_->cwTextEdit->text().toLatin1().toStdString();
    default:
        return static_cast<QLineEdit*>(controlOf(field))->text().toStdString();
    }
}

void ControlDialog::setControlText(FormField field, const std::string& text) {
    const auto checkIndex = [&text](QButtonGroup* group) {
        const std::optional<int> index = parseInteger(text);
        QAbstractButton* button = index ? group->button(*index) : nullptr;
        if (button) {
            button->setChecked(true);
            return;
        }
        // An index with no button leaves the group without a choice, as the form shows it.
        group->setExclusive(false);
        for (QAbstractButton* other : group->buttons())
            other->setChecked(false);
        group->setExclusive(true);
    };
    switch (field) {
    case FormField::transmitMode:
        checkIndex(ui_->transmissionGroup);
        return;
    case FormField::audioMode:
        checkIndex(ui_->audioGroup);
        return;
    case FormField::outputLevel:
        checkIndex(ui_->outputLevelGroup);
        return;
    case FormField::soundEffect:
        ui_->soundEffectList->setCurrentIndex(parseInteger(text).value_or(-1));
        return;
    case FormField::keyed:
        ui_->keyedCheck->setChecked(text != "0");
        return;
    case FormField::autoId:
        ui_->autoIdCheck->setChecked(text != "0");
        return;
    case FormField::cwText: {
        // The operator types at most 31 characters; a longer text read back from a timer
        // is shown whole, so that reading the form can report it instead of cutting it.
        const QString cw = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        ui_->cwTextEdit->setMaxLength(std::max<int>(cwTextMaxLength, cw.size()));
        ui_->cwTextEdit->setText(cw);
        return;
    }
    default:
        static_cast<QLineEdit*>(controlOf(field))->setText(QString::fromStdString(text));
        return;
    }
}

void ControlDialog::reportFormFailure(const FormCheck& check) {
    // Moving the focus to the failing control must not start the form's own handlers of
    // the field being left, which would read the form again and report the same field twice.
    const QScopedValueRollback<bool> reporting(reportingFormFailure_, true);
    showMessage(check.message);
    QWidget* control = controlOf(check.field);
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}
