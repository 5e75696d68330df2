// The main window, offscreen: real dialogs, real settings store in a private config folder,
// real ports (links to /dev/null, or the emulator on a pseudo-terminal). Only the operator
// at the message boxes is played by the test.

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include "core/link/port_numbers.h"
#include "gui/about_dialog.h"
#include "gui/control_dialog.h"
#include "gui/oscillator_tune_dialog.h"
#include "gui/program.h"
#include "gui/ringtone_dialog.h"
#include "gui/tone_sequence_dialog.h"
#include "gui/transmit_sequence_dialog.h"
#include "support/device_tree.h"
#include "support/emulated_timer.h"
#include "support/golden.h"
#include "support/modal_operator.h"

namespace {

const QString noPortsText = QStringLiteral("Er zijn geen serieele poorten beschikbaar op dit systeem");
// /dev/null, where the tests' ports lead, is no terminal: not "in use", but not a serial line.
const QString noSerialLineText = QStringLiteral("The serial port cannot be opened: ") +
                                 QString::fromStdString(CSerialException(ENOTTY).message());

template <typename T> T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) ADD_FAILURE() << "no control " << name;
    return found;
}

void type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        const int key = c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

void pressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

// Replaces an edit's text the way the operator does: select all, then type.
void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus(Qt::TabFocusReason);
    edit->selectAll();
    pressKey(edit, Qt::Key_Delete);
    type(edit, text);
}

// Moves the focus on to another control, as a Tab or a click does.
void moveFocusTo(QWidget* next) {
    next->setFocus(Qt::TabFocusReason);
}

class ControlDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The settings store takes its folder once per process; every test has its own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(home.path()));
        machine.addDevice("ttyACM0");
    }

    void addPort(int number, const std::string& target = "/dev/null") {
        const std::filesystem::path directory = portDirectory();
        std::filesystem::create_directories(directory);
        std::filesystem::create_symlink(target, directory / ("com" + std::to_string(number)));
    }

    // The store as another run of the program sees it.
    static std::unique_ptr<QSettings> store() {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("VOSK"), programName());
    }

    // Shows the window and gives it the activation, as the window manager does on showing it
    // and again when a message box over it closes; its focus goes back where it was.
    static void showActive(QWidget& window) {
        window.show();
        QApplication::processEvents();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(window.isActiveWindow());
    }

    static QStringList entries(QComboBox* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    }

    static std::vector<QWidget*> linkButtons(QWidget& dialog) {
        return {child<QWidget>(dialog, "retrieveButton"), child<QWidget>(dialog, "writeButton"),
                child<QWidget>(dialog, "syncButton"), child<QWidget>(dialog, "calibrateButton"),
                child<QWidget>(dialog, "resetButton")};
    }

    static bool allEnabled(const std::vector<QWidget*>& widgets, bool enabled) {
        return std::all_of(widgets.begin(), widgets.end(),
                           [enabled](QWidget* w) { return w->isEnabled() == enabled; });
    }

    TempConfigHome home;
    // The machine's own serial ports: one USB adapter (COM65), whatever the test host has.
    DeviceTree machine{home.path() + "/machine"};
    ModalOperator operatorAtBoxes;
};

TEST_F(ControlDialogTest, PortListIsSortedByTextAndSelectsTheSavedPortByNumber) {
    addPort(2);
    addPort(10);
    addPort(1);
    store()->setValue(QStringLiteral("Settings/COMPort"), 2);

    ControlDialog dialog(machine.roots());
    auto* list = child<QComboBox>(dialog, "portList");
    EXPECT_EQ(entries(list), (QStringList{"COM1", "COM10", "COM2", "COM65"}));
    EXPECT_EQ(list->currentText(), "COM2");
    EXPECT_EQ(dialog.selectedPortNumber(), 2);
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(), "/dev/null");
    EXPECT_TRUE(operatorAtBoxes.boxes.empty());
}

TEST_F(ControlDialogTest, MissingSavedPortSelectsTheFirstEntryAndIsSavedAgain) {
    addPort(3);
    addPort(1);
    {
        // Nothing stored yet: the start value 1 picks COM1.
        ControlDialog dialog(machine.roots());
        EXPECT_EQ(child<QComboBox>(dialog, "portList")->currentText(), "COM1");
        EXPECT_EQ(dialog.settings().comPort, 1);
    }
    store()->setValue(QStringLiteral("Settings/COMPort"), 7);
    {
        ControlDialog dialog(machine.roots());
        EXPECT_EQ(child<QComboBox>(dialog, "portList")->currentText(), "COM1");
        EXPECT_EQ(dialog.selectedPortNumber(), 1);
        // Only Connect takes the selection into the settings.
        child<QPushButton>(dialog, "quitButton")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(store()->value(QStringLiteral("Settings/COMPort")).toInt(), 7);
    }
    EXPECT_TRUE(operatorAtBoxes.boxes.empty());
}

TEST_F(ControlDialogTest, NoSerialPortIsReportedAndTheWindowStillOpens) {
    const DeviceTree bare(home.path() + "/bare");
    ControlDialog dialog(bare.roots());
    ASSERT_EQ(operatorAtBoxes.texts(), QStringList{noPortsText});
    EXPECT_EQ(operatorAtBoxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(child<QComboBox>(dialog, "portList")->count(), 0);
    EXPECT_EQ(dialog.selectedPortNumber(), -1);
}

TEST_F(ControlDialogTest, PortListOpenedAgainOffersAnAdapterPluggedInSince) {
    addPort(2);
    ControlDialog dialog(machine.roots());
    auto* list = child<QComboBox>(dialog, "portList");
    list->setCurrentIndex(list->findData(65));
    machine.addDevice("ttyUSB0");
    const auto open = [list] {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), list->mapToGlobal(QPointF(5, 5)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
        list->hidePopup();
    };
    open();
    EXPECT_EQ(entries(list), (QStringList{"COM2", "COM33", "COM65"}));
    EXPECT_EQ(list->currentText(), "COM65");
    // Gone with its adapter, a selected port gives way to the first one present.
    std::filesystem::remove(machine.roots().dev + "/ttyACM0");
    open();
    EXPECT_EQ(entries(list), (QStringList{"COM2", "COM33"}));
    EXPECT_EQ(dialog.selectedPortNumber(), 2);
    EXPECT_TRUE(operatorAtBoxes.boxes.empty());
}

TEST_F(ControlDialogTest, FailedConnectKeepsTheLinkButtonsDisabledAndStoresThePort) {
    addPort(1);
    addPort(4);
    {
        ControlDialog dialog(machine.roots());
        EXPECT_TRUE(allEnabled(linkButtons(dialog), false));
        for (const char* always : {"connectButton", "portList", "quitButton"})
            EXPECT_TRUE(child<QWidget>(dialog, always)->isEnabled()) << always;

        auto* list = child<QComboBox>(dialog, "portList");
        list->setCurrentIndex(list->findData(4));
        // /dev/null is no terminal: the port cannot be opened as a serial line.
        child<QPushButton>(dialog, "connectButton")->click();
        ASSERT_EQ(operatorAtBoxes.texts(), QStringList{noSerialLineText});
        const ModalOperator::Box& box = operatorAtBoxes.boxes[0];
        EXPECT_EQ(box.caption, programName());
        EXPECT_EQ(box.icon, QMessageBox::Warning);
        EXPECT_EQ(box.buttonCount, 1);
        EXPECT_FALSE(dialog.session().connected());
        EXPECT_TRUE(allEnabled(linkButtons(dialog), false));
        EXPECT_EQ(dialog.settings().comPort, 4);
    }
    // The destruction saved the port that Connect took.
    ControlDialog again(machine.roots());
    EXPECT_EQ(child<QComboBox>(again, "portList")->currentText(), "COM4");
}

TEST_F(ControlDialogTest, StoredSettingsSurviveTwoLifetimesOfTheWindow) {
    {
        const std::unique_ptr<QSettings> previous = store();
        previous->setValue(QStringLiteral("Settings/COMPort"), 3);
        previous->setValue(QStringLiteral("Settings/AudioFile"),
                           QStringLiteral("/home/fox/sounds/sirene 2.wav"));
        previous->setValue(QStringLiteral("Settings/ToneSequence"), QStringLiteral("1000,200,800,200"));
        previous->setValue(QStringLiteral("Settings/RingToneFile"),
                           QStringLiteral("/home/fox/tunes/fox.rtt"));
    }
    TimerSettings first;
    {
        ControlDialog dialog(machine.roots());
        first = dialog.settings();
        EXPECT_EQ(first.comPort, 3);
        EXPECT_EQ(first.audioFilePath, "/home/fox/sounds/sirene 2.wav");
        EXPECT_EQ(first.toneSequenceText, "1000,200,800,200");
        EXPECT_EQ(first.ringtoneFilePath, "/home/fox/tunes/fox.rtt");
    }
    ControlDialog second(machine.roots());
    EXPECT_EQ(second.settings().comPort, 3);
    EXPECT_EQ(second.settings().audioFilePath, first.audioFilePath);
    EXPECT_EQ(second.settings().toneSequenceText, first.toneSequenceText);
    EXPECT_EQ(second.settings().ringtoneFilePath, first.ringtoneFilePath);
    EXPECT_EQ(store()->value(QStringLiteral("Settings/ToneSequence")).toString(), "1000,200,800,200");
}

TEST_F(ControlDialogTest, QuitSavesThenClosesOnlyWhenTheFormPassesItsChecks) {
    ControlDialog dialog(machine.roots());
    showActive(dialog);
    auto* startupDelay = child<QLineEdit>(dialog, "startupDelayEdit");
    retype(startupDelay, "300");
    operatorAtBoxes.boxes.clear();

    // Enter in a field acts as QUIT.
    pressKey(startupDelay, Qt::Key_Return);
    showActive(dialog);
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList{"Please enter an integer between 0 and 255."});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), startupDelay);
    EXPECT_EQ(dialog.settings().startupDelay, 300);
    EXPECT_TRUE(store()->contains(QStringLiteral("Settings/COMPort")));

    retype(startupDelay, "45");
    auto* frequency = child<QLineEdit>(dialog, "toneFrequencyEdit");
    retype(frequency, "8OO");
    operatorAtBoxes.boxes.clear();
    child<QPushButton>(dialog, "quitButton")->click();
    showActive(dialog);
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList{"Please enter an integer."});
    EXPECT_EQ(QApplication::focusWidget(), frequency);
    EXPECT_EQ(dialog.settings().toneFrequency, 800);

    retype(frequency, "1200");
    operatorAtBoxes.boxes.clear();
    child<QPushButton>(dialog, "quitButton")->click();
    EXPECT_TRUE(operatorAtBoxes.boxes.empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.settings().startupDelay, 45);
    EXPECT_EQ(dialog.settings().toneFrequency, 1200);
}

TEST_F(ControlDialogTest, EscapeClosesWithoutReadingTheFormAndTheSettingsAreStillSaved) {
    {
        ControlDialog dialog(machine.roots());
        showActive(dialog);
        auto* startupDelay = child<QLineEdit>(dialog, "startupDelayEdit");
        retype(startupDelay, "999");
        pressKey(startupDelay, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(dialog.settings().startupDelay, 0);
        EXPECT_FALSE(store()->contains(QStringLiteral("Settings/COMPort")));
    }
    EXPECT_TRUE(operatorAtBoxes.boxes.empty());
    EXPECT_EQ(store()->value(QStringLiteral("Settings/COMPort")).toInt(), 1);
}

TEST_F(ControlDialogTest, EnablingRulesFollowTheClicksOnTheForm) {
    ControlDialog dialog(machine.roots());
    showActive(dialog);
    const auto enabled = [&dialog](const char* name) { return child<QWidget>(dialog, name)->isEnabled(); };
    const std::vector<const char*> cycleControls{"cycleIdEdit",          "cycleIdLabel",
                                                 "transmitterCountEdit", "transmitterCountLabel",
                                                 "stepLengthEdit",       "stepLengthLabel"};
    const auto cycleEnabled = [&](bool state) {
        return std::all_of(cycleControls.begin(), cycleControls.end(),
                           [&](const char* name) { return enabled(name) == state; });
    };

    // Start values: continuous transmission, single tone, auto shutdown 0.
    EXPECT_TRUE(cycleEnabled(false));
    EXPECT_FALSE(enabled("transmitSequenceButton"));
    EXPECT_FALSE(enabled("recoveryBeaconDelayEdit"));
    EXPECT_FALSE(enabled("recoveryBeaconDelayLabel"));
    EXPECT_TRUE(enabled("startupDelayEdit"));
    EXPECT_TRUE(enabled("autoShutdownEdit"));

    child<QRadioButton>(dialog, "cycledRadio")->click();
    EXPECT_EQ(dialog.settings().transmitMode, TransmitMode::cycled);
    EXPECT_TRUE(cycleEnabled(true));
    EXPECT_FALSE(enabled("transmitSequenceButton"));
    child<QRadioButton>(dialog, "sequencedRadio")->click();
    EXPECT_TRUE(cycleEnabled(false));
    EXPECT_TRUE(enabled("transmitSequenceButton"));
    child<QRadioButton>(dialog, "continuousRadio")->click();
    EXPECT_TRUE(cycleEnabled(false));
    EXPECT_FALSE(enabled("transmitSequenceButton"));

    struct AudioCase {
        const char* radio;
        std::vector<const char*> on;
        std::vector<const char*> off;
    };
    const std::vector<AudioCase> cases{
        {"singleToneRadio",
         {"toneFrequencyEdit", "outputLevelLabel", "level100Radio", "level50Radio"},
         {"cwTextEdit", "cwSpeedEdit", "keyedCheck", "autoIdCheck", "soundEffectList", "loadSoundButton",
          "toneSequenceButton", "loadRingtoneButton"}},
        {"cwMessageRadio",
         {"toneFrequencyEdit", "cwSpeedLabel", "cwSpeedEdit", "wpmLabel", "keyedCheck", "autoIdCheck",
          "outputLevelLabel"},
         {"cwTextEdit", "soundEffectList", "loadSoundButton"}},
        {"soundEffectRadio",
         {"soundEffectList"},
         {"toneFrequencyEdit", "cwSpeedEdit", "outputLevelLabel", "level100Radio", "level50Radio"}},
        {"waveFileRadio",
         {"loadSoundButton", "tableLengthLabel", "tableLengthEdit"},
         {"soundEffectList", "outputLevelLabel", "level100Radio", "level50Radio"}},
        {"toneSequenceRadio",
         {"toneSequenceButton", "outputLevelLabel", "level50Radio"},
         {"toneFrequencyEdit", "loadSoundButton", "tableLengthEdit", "loadRingtoneButton"}},
        {"ringtoneRadio", {"loadRingtoneButton", "level100Radio"}, {"toneSequenceButton", "cwTextEdit"}},
    };
    for (const AudioCase& c : cases) {
        child<QRadioButton>(dialog, c.radio)->click();
        for (const char* name : c.on)
            EXPECT_TRUE(enabled(name)) << c.radio << ": " << name;
        for (const char* name : c.off)
            EXPECT_FALSE(enabled(name)) << c.radio << ": " << name;
    }

    // Auto-ID decides over the CW text at once.
    child<QRadioButton>(dialog, "cwMessageRadio")->click();
    EXPECT_FALSE(enabled("cwTextEdit"));
    child<QCheckBox>(dialog, "autoIdCheck")->click();
    EXPECT_FALSE(dialog.settings().autoId);
    EXPECT_TRUE(enabled("cwTextEdit"));
    child<QCheckBox>(dialog, "autoIdCheck")->click();
    EXPECT_FALSE(enabled("cwTextEdit"));

    // Leaving Auto Shutdown applies the recovery beacon rule.
    auto* autoShutdown = child<QLineEdit>(dialog, "autoShutdownEdit");
    retype(autoShutdown, "5");
    moveFocusTo(child<QWidget>(dialog, "startupDelayEdit"));
    EXPECT_EQ(dialog.settings().autoShutdown, 5);
    EXPECT_TRUE(enabled("recoveryBeaconDelayEdit"));
    EXPECT_TRUE(enabled("recoveryBeaconDelayLabel"));
    retype(autoShutdown, "0");
    moveFocusTo(child<QWidget>(dialog, "startupDelayEdit"));
    EXPECT_FALSE(enabled("recoveryBeaconDelayEdit"));

    // The link buttons do not follow the form.
    EXPECT_TRUE(allEnabled(linkButtons(dialog), false));
    EXPECT_TRUE(operatorAtBoxes.boxes.empty());
}

TEST_F(ControlDialogTest, StepLengthIsRoundedWhenItsFieldIsLeft) {
    ControlDialog dialog(machine.roots());
    showActive(dialog);
    child<QRadioButton>(dialog, "cycledRadio")->click();
    auto* stepLength = child<QLineEdit>(dialog, "stepLengthEdit");
    auto* next = child<QWidget>(dialog, "startupDelayEdit");

    struct Case {
        QString typed;
        QString shown;
        QStringList messages;
    };
    const QString range = QStringLiteral("Please enter an integer between 1 and 600.");
    for (const Case& c : std::vector<Case>{{"4", "10", {}},
                                           {"64", "60", {}},
                                           {"65", "70", {}},
                                           {"600", "600", {}},
                                           {"0", "10", {range}},
                                           {"700", "700", {range}}}) {
        operatorAtBoxes.boxes.clear();
        retype(stepLength, c.typed);
        moveFocusTo(next);
        showActive(dialog);
        EXPECT_EQ(stepLength->text(), c.shown) << c.typed.toStdString();
        EXPECT_EQ(dialog.settings().stepLength, c.shown.toInt()) << c.typed.toStdString();
        EXPECT_EQ(operatorAtBoxes.texts(), c.messages) << c.typed.toStdString();
    }
}

TEST_F(ControlDialogTest, CwTextIsTypedInCapitalsAndStopsAt31Characters) {
    ControlDialog dialog(machine.roots());
    showActive(dialog);
    child<QRadioButton>(dialog, "cwMessageRadio")->click();
    child<QCheckBox>(dialog, "autoIdCheck")->click();
    auto* cw = child<QLineEdit>(dialog, "cwTextEdit");
    ASSERT_TRUE(cw->isEnabled());
    retype(cw, "cq de pa3fox");
    EXPECT_EQ(cw->text(), "CQ DE PA3FOX");
    // Latin-1 letters have capitals there too; a character beyond one byte is not taken.
    retype(cw, QString::fromUtf8("gr\u00fc\u00dfe \u03a9\u00ff"));
    EXPECT_EQ(cw->text(), QString::fromUtf8("GR\u00dc\u00dfE \u00ff"));

    retype(cw, "abcdefghijklmnopqrstuvwxyz0123456789");
    EXPECT_EQ(cw->text(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    child<QPushButton>(dialog, "quitButton")->click();
    EXPECT_EQ(dialog.settings().cwText, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(ControlDialogTest, ToneSequenceEditorRefusesTextsOverItsLength) {
    ToneSequenceDialog editor;
    EXPECT_EQ(editor.windowTitle(), "Edit Tone Sequence");
    showActive(editor);
    auto* edit = child<QLineEdit>(editor, "sequenceEdit");
    type(edit, QString(120, QChar('1')));
    EXPECT_EQ(editor.text().size(), 110);

    // A longer stored text is shown whole and must be shortened before OK.
    const QString stored = QString(115, QChar('2'));
    editor.setText(stored);
    EXPECT_EQ(editor.text(), stored);
    child<QPushButton>(editor, "okButton")->click();
    showActive(editor);
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList{"Please enter no more than 110 characters."});
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), edit);

    edit->setText(stored.left(110));
    child<QPushButton>(editor, "okButton")->click();
    EXPECT_EQ(operatorAtBoxes.boxes.size(), 1u);
    EXPECT_EQ(editor.result(), QDialog::Accepted);
}

TEST_F(ControlDialogTest, AudioEditSequenceRunsTheEditorWithTheStoredText) {
    store()->setValue(QStringLiteral("Settings/ToneSequence"), QStringLiteral("1000,200"));
    ControlDialog dialog(machine.roots());
    QString shown;
    operatorAtBoxes.onDialog = [&shown](QDialog& modal) {
        auto* editor = qobject_cast<ToneSequenceDialog*>(&modal);
        ASSERT_NE(editor, nullptr);
        shown = editor->text();
        editor->setText(QStringLiteral("1000,200,"));
        editor->accept();
    };
    child<QRadioButton>(dialog, "toneSequenceRadio")->click();
    auto* button = child<QPushButton>(dialog, "toneSequenceButton");
    ASSERT_TRUE(button->isEnabled());
    button->click();
    EXPECT_EQ(shown, "1000,200");
    // One tone is no sequence: the operation refuses it before anything goes to a timer.
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList{"Less than two tones in sequence!!"});
    EXPECT_EQ(dialog.settings().toneSequenceText, "1000,200");
}

TEST_F(ControlDialogTest, WindowIsLaidOutInDialogUnitsWithNoTextCut) {
    ControlDialog dialog(machine.roots());
    // The 8 point sans serif of the test machines is DejaVu Sans; on the offscreen screen
    // (96 dpi) its letters average 7 pixels across and its lines are 13 pixels high, so 4
    // dialog units across are 7 pixels and 8 down are 13.
    ASSERT_EQ(QFontInfo(dialog.font()).family(), "DejaVu Sans") << "the pixel sizes below are DejaVu Sans'";
    EXPECT_EQ(dialog.size(), QSize(502, 489));                                             // 287 x 301
    EXPECT_EQ(child<QWidget>(dialog, "quitButton")->geometry(), QRect(289, 453, 201, 23)); // 165,279 115x14
    EXPECT_EQ(child<QWidget>(dialog, "stepLengthEdit")->geometry(), QRect(175, 302, 61, 23)); // 100,186 35x14
    EXPECT_EQ(child<QWidget>(dialog, "portList")->x(), 306);                                  // 175
    EXPECT_TRUE(child<QPushButton>(dialog, "quitButton")->isDefault());
    EXPECT_EQ(child<QPushButton>(dialog, "loadSoundButton")->text(), "Load Sound ");
    EXPECT_EQ(dialog.windowTitle(), "Mervak's TAVO FOX Control Program V 2.0");
    EXPECT_FALSE(dialog.windowIcon().pixmap(16, 16).isNull());

    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        const int needed = qobject_cast<QPushButton*>(button)
                               ? button->fontMetrics().horizontalAdvance(button->text()) + 4
                               : button->sizeHint().width();
        EXPECT_LE(needed, button->width()) << button->objectName().toStdString();
    }
    for (QLabel* label : dialog.findChildren<QLabel*>())
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->objectName().toStdString();

    ToneSequenceDialog editor;
    EXPECT_EQ(editor.size(), QSize(756, 81)); // 432 x 50
}

TEST_F(ControlDialogTest, AboutEntryOfTheWindowMenuRunsTheAboutBox) {
    ControlDialog dialog(machine.roots());
    EXPECT_EQ(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* about = nullptr;
    for (QAction* action : dialog.actions())
        if (action->text() == "&About molvex...") about = action;
    ASSERT_NE(about, nullptr);

    QString shown;
    operatorAtBoxes.onDialog = [&shown](QDialog& modal) {
        ASSERT_NE(qobject_cast<AboutDialog*>(&modal), nullptr);
        shown = child<QLabel>(modal, "titleLabel")->text();
        EXPECT_FALSE(child<QLabel>(modal, "iconLabel")->pixmap().isNull());
        modal.accept();
    };
    about->trigger();
    EXPECT_EQ(shown, "Mervak's TAVO FOX Control Program V 2.0");
}

// The one test that wakes a timer for real: 3.2 s of the timer's start-up waits.
TEST_F(ControlDialogTest, ConnectWakesIdentifiesAndShowsTheTimersSettings) {
    TimerEmulator emulator(TimerEmulator::Model::Pic684, 64, 2, 1);
    loadGoldenImage(emulator, "cycled_cw_without_sound.hex");
    PtyRunner runner(emulator, 5);
    runner.start();
    addPort(2);

    ControlDialog dialog(machine.roots());
    auto* list = child<QComboBox>(dialog, "portList");
    list->setCurrentIndex(list->findData(5));
    child<QPushButton>(dialog, "connectButton")->click();

    EXPECT_TRUE(operatorAtBoxes.boxes.empty()) << operatorAtBoxes.texts().join('|').toStdString();
    EXPECT_EQ(child<QLineEdit>(dialog, "identityEdit")->text(), "TAVO Timer P:684 M:512K  v2.1");
    EXPECT_TRUE(dialog.session().connected());
    EXPECT_EQ(dialog.settings().comPort, 5);
    EXPECT_TRUE(allEnabled(linkButtons(dialog), true));
    EXPECT_TRUE(child<QRadioButton>(dialog, "cycledRadio")->isChecked());
    EXPECT_EQ(child<QLineEdit>(dialog, "cycleIdEdit")->text(), "3");
    EXPECT_EQ(child<QLineEdit>(dialog, "stepLengthEdit")->text(), "120");
    EXPECT_TRUE(child<QLineEdit>(dialog, "cycleIdEdit")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(dialog, "cwTextEdit")->text(), "CQ FOX");
    EXPECT_TRUE(child<QLineEdit>(dialog, "cwTextEdit")->isEnabled());

    // A timer without a sound has no table.
    EXPECT_EQ(child<QLineEdit>(dialog, "tableLengthEdit")->text(), "0");

    // Retrieve reads the timer again.
    runner.withEmulator([](TimerEmulator& e) { e.parameterMemory()[4] = 6; }); // cycle ID 7
    child<QPushButton>(dialog, "retrieveButton")->click();
    EXPECT_EQ(child<QLineEdit>(dialog, "cycleIdEdit")->text(), "7");
    EXPECT_EQ(dialog.settings().cycleId, 7);

    // A timer that was never written: the form keeps what it shows, and says why.
    runner.withEmulator([](TimerEmulator& e) { e.parameterMemory().fill(0xFF); });
    child<QPushButton>(dialog, "retrieveButton")->click();
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList{"No settings stored in the timer yet"});
    EXPECT_EQ(child<QLineEdit>(dialog, "cycleIdEdit")->text(), "7");
    EXPECT_EQ(child<QLineEdit>(dialog, "cwTextEdit")->text(), "CQ FOX");
    EXPECT_TRUE(child<QRadioButton>(dialog, "cycledRadio")->isChecked());
    EXPECT_EQ(child<QLineEdit>(dialog, "tableLengthEdit")->text(), "0");
    operatorAtBoxes.boxes.clear();

    child<QPushButton>(dialog, "syncButton")->click();
    EXPECT_EQ(operatorAtBoxes.texts(),
              QStringList{"     ***** Test Mode Enabled *****\nYou need to RESET the Timer to end this"});
    bool testMode = false;
    runner.withEmulator([&testMode](TimerEmulator& e) { testMode = e.testMode(); });
    EXPECT_TRUE(testMode);

    // A line that fails inside an operation: the system's text, with the stop icon.
    runner.dropLine();
    operatorAtBoxes.boxes.clear();
    child<QPushButton>(dialog, "syncButton")->click();
    ASSERT_EQ(operatorAtBoxes.boxes.size(), 1u);
    EXPECT_EQ(operatorAtBoxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(operatorAtBoxes.boxes[0].text, QString::fromStdString(CSerialException(EIO).message()));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog.session().connected());

    // Connect to a port without a timer disables the link buttons again.
    operatorAtBoxes.boxes.clear();
    list->setCurrentIndex(list->findData(2));
    child<QPushButton>(dialog, "connectButton")->click();
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList{noSerialLineText});
    EXPECT_FALSE(dialog.session().connected());
    EXPECT_TRUE(allEnabled(linkButtons(dialog), false));

    // Every value the timers gave passes the form's checks: QUIT closes the window.
    operatorAtBoxes.boxes.clear();
    child<QPushButton>(dialog, "quitButton")->click();
    EXPECT_TRUE(operatorAtBoxes.boxes.empty()) << operatorAtBoxes.texts().join('|').toStdString();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(ControlDialogTest, ScreenReadersNameEveryFieldByItsLabelAndTabFollowsTheLayout) {
    ControlDialog dialog(machine.roots());
    // What a screen reader announces the field by: the label whose buddy it is (on Linux
    // a list's own name is its current entry), or its own name.
    const auto nameOf = [](QWidget* widget) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible) return QString();
        const auto labels = accessible->relations(QAccessible::Label);
        return (labels.isEmpty() ? accessible : labels.first().first)->text(QAccessible::Name);
    };
    // The text beside each field, or above it where it sits under its radio button.
    const std::vector<std::pair<const char*, QString>> fields{
        {"portList", "Serial Port"},
        {"startupDelayEdit", "Startup Delay (minutes)"},
        {"autoShutdownEdit", "Auto Shutdown (minutes)"},
        {"recoveryBeaconDelayEdit", "Recovery Beacon delay"},
        {"cycleIdEdit", "Cycle ID of transmitter"},
        {"transmitterCountEdit", "Nr of transmitters"},
        {"stepLengthEdit", "Step length (seconds)"},
        {"toneFrequencyEdit", "Single Tone"},
        {"cwTextEdit", "CW Message"},
        {"keyedCheck", "Keyed"},
        {"autoIdCheck", "Auto-ID (MOx)"},
        {"cwSpeedEdit", "CW keying speed"},
        {"tableLengthEdit", "Table length"}};
    for (const auto& [name, label] : fields)
        EXPECT_EQ(nameOf(child<QWidget>(dialog, name)), label) << name;

    ToneSequenceDialog toneSequence;
    TransmitSequenceDialog transmitSequence;
    OscillatorTuneDialog tuning;
    RingtoneDialog ringtone("");
    // Every field of every window has a name.
    for (QWidget* window :
         std::initializer_list<QWidget*>{&dialog, &toneSequence, &transmitSequence, &tuning, &ringtone})
        for (QWidget* field : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (qobject_cast<QLineEdit*>(field) || qobject_cast<QComboBox*>(field) ||
                qobject_cast<QCheckBox*>(field)) {
                EXPECT_FALSE(nameOf(field).isEmpty())
                    << field->objectName().toStdString() << " in " << window->objectName().toStdString();
            }

    // Tab goes through the top row, the Controller Settings, the Audio Settings and the
    // bottom rows, each from top to bottom and along a row from left to right.
    const QRect controller = child<QWidget>(dialog, "controllerSettingsGroup")->geometry();
    const QRect audio = child<QWidget>(dialog, "audioSettingsGroup")->geometry();
    const auto placeOf = [&](QWidget* w) {
        const QPoint centre = w->geometry().center();
        const int part = centre.y() < std::min(controller.top(), audio.top()) ? 0
                         : controller.contains(centre)                        ? 1
                         : audio.contains(centre)                             ? 2
                                                                              : 3;
        return std::tuple{part, w->y(), w->x()};
    };
    const int sameRow = dialog.fontMetrics().height() / 2;
    QWidget* previous = child<QWidget>(dialog, "identityEdit");
    for (QWidget* w = previous->nextInFocusChain(); w != previous && w != &dialog;
         w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->parentWidget() != &dialog) continue;
        const auto [part, y, x] = placeOf(w);
        const auto [lastPart, lastY, lastX] = placeOf(previous);
        const bool onward =
            part > lastPart ||
            (part == lastPart && (y > lastY + sameRow || (std::abs(y - lastY) <= sameRow && x > lastX)));
        EXPECT_TRUE(onward) << previous->objectName().toStdString() << " -> "
                            << w->objectName().toStdString();
        previous = w;
    }
    EXPECT_EQ(previous->objectName(), "quitButton");
}

} // namespace
