// The transmit-sequence editor and the oscillator tuning dialog, offscreen, wired into the
// main window. The operator at the modal windows is played by the test.

#include <functional>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include "gui/control_dialog.h"
#include "gui/oscillator_tune_dialog.h"
#include "gui/transmit_sequence_dialog.h"
#include "support/device_tree.h"
#include "support/emulated_timer.h"
#include "support/modal_operator.h"

namespace {

template <typename T> T* child(QWidget& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (!found) ADD_FAILURE() << "no control " << name.toStdString();
    return found;
}

QLineEdit* lengthEdit(QWidget& editor, int step) {
    return child<QLineEdit>(editor, QStringLiteral("stepLength%1Edit").arg(step));
}
QComboBox* kindList(QWidget& editor, int step) {
    return child<QComboBox>(editor, QStringLiteral("stepKind%1List").arg(step));
}

void showActive(QWidget& window) {
    window.show();
    QApplication::processEvents();
    QApplication::setActiveWindow(&window);
}

class TransmitDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(home.path()));
        machine.addDevice("ttyACM0");
    }
    TempConfigHome home;
    // One USB adapter (COM65), whatever serial ports the test host has.
    DeviceTree machine{home.path() + "/machine"};
    ModalOperator answers;
};

TEST_F(TransmitDialogs, SequenceEditorOpensFromTheTableRoundsAndChecks) {
    TransmitSequenceDialog editor;
    EXPECT_EQ(editor.windowTitle(), "Sequenced Transmission");
    // DejaVu Sans 8 pt offscreen: 4 dialog units across are 7 pixels, 8 down are 13.
    ASSERT_EQ(QFontInfo(editor.font()).family(), "DejaVu Sans") << "the pixel size below is DejaVu Sans'";
    EXPECT_EQ(editor.size(), QSize(319, 245)); // 182 x 151
    QStringList kinds;
    for (int i = 0; i < kindList(editor, 1)->count(); ++i)
        kinds << kindList(editor, 1)->itemText(i);
    EXPECT_EQ(kinds, (QStringList{"No Transmit", "Tone Sequence", "Single Tone", "Wave File", "CW Message",
                                  "Sound Effect", "Ringtone Melody"}));
    EXPECT_TRUE(lengthEdit(editor, 1)->alignment() & Qt::AlignRight);
    EXPECT_TRUE(child<QPushButton>(editor, "okButton")->isDefault());

    TransmitSequence stored{};
    const std::uint8_t head[] = {150, 0x18, 6, 0x01, 3, 0x41};
    std::copy(std::begin(head), std::end(head), stored.begin());
    editor.setTable(stored);
    showActive(editor);
    EXPECT_EQ(lengthEdit(editor, 1)->text(), "1500");
    EXPECT_EQ(kindList(editor, 1)->currentText(), "Tone Sequence");
    EXPECT_EQ(kindList(editor, 2)->currentText(), "No Transmit");
    EXPECT_EQ(kindList(editor, 3)->currentText(), "CW Message");

    // 1500 s is refused at OK until it is changed.
    child<QPushButton>(editor, "okButton")->click();
    showActive(editor); // back from the message box
    EXPECT_EQ(answers.texts(), QStringList{"Please enter an integer between 0 and 1000."});
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), lengthEdit(editor, 1));

    // Leaving a field rounds every length.
    lengthEdit(editor, 1)->setText("995");
    lengthEdit(editor, 4)->setText("4");
    lengthEdit(editor, 2)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(lengthEdit(editor, 1)->text(), "1000");
    EXPECT_EQ(lengthEdit(editor, 4)->text(), "0");

    // A length typed and confirmed with Enter is rounded before the table is built.
    lengthEdit(editor, 2)->setText("14");
    kindList(editor, 2)->setCurrentIndex(2);
    kindList(editor, 3)->setEditText("Morse");
    child<QPushButton>(editor, "okButton")->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(lengthEdit(editor, 2)->text(), "10");
    TransmitSequence expected{};
    const std::uint8_t written[] = {100, 0x09, 1, 0x11, 3, 0x00};
    std::copy(std::begin(written), std::end(written), expected.begin());
    EXPECT_EQ(editor.table(), expected);
    EXPECT_EQ(answers.texts().size(), 1);
}

TEST_F(TransmitDialogs, EditSequenceOfTheControllerSettingsRunsTheEditor) {
    ControlDialog dialog(machine.roots());
    answers.onDialog = [](QDialog& modal) {
        ASSERT_NE(qobject_cast<TransmitSequenceDialog*>(&modal), nullptr);
        lengthEdit(modal, 1)->setText("60");
        kindList(modal, 1)->setCurrentIndex(5);
        child<QPushButton>(modal, "okButton")->click();
    };
    child<QRadioButton>(dialog, "sequencedRadio")->click();
    auto* button = child<QPushButton>(dialog, "transmitSequenceButton");
    ASSERT_TRUE(button->isEnabled());
    button->click();
    // One step is no sequence: refused before anything goes to a timer, and kept.
    EXPECT_EQ(answers.texts(), QStringList{"Less than two steps in sequence!!"});
    EXPECT_EQ(dialog.settings().transmitSequence[0], 6);
    EXPECT_EQ(dialog.settings().transmitSequence[1], 0x81);
}

TEST_F(TransmitDialogs, TuningDialogSendsEverySelectionAtOnce) {
    ControlDialog dialog(machine.roots());
    std::vector<int> sent;
    const auto send = [&sent](int trim) {
        sent.push_back(trim);
        return true;
    };
    QStringList entries;
    QString shownFirst;
    answers.onDialog = [&](QDialog& modal) {
        auto* tuner = qobject_cast<OscillatorTuneDialog*>(&modal);
        ASSERT_NE(tuner, nullptr);
        EXPECT_EQ(tuner->windowTitle(), "Internal Oscillator Tuning");
        EXPECT_EQ(child<QLabel>(modal, "textLine3Label")->text(),
                  "like the WPM rate. The overall transmission timing is controlled with ");
        EXPECT_EQ(child<QLabel>(modal, "tuneValueLabel")->text(), "Oscillator Tune Value:");
        auto* list = child<QComboBox>(modal, "tuneValueList");
        for (int i = 0; i < list->count(); ++i)
            entries << list->itemText(i);
        shownFirst = list->currentText();
        list->setCurrentIndex(list->findText("-2"));
        list->setCurrentIndex(list->findText("+1"));
        EXPECT_EQ(sent, (std::vector<int>{-2, 1}));
        modal.accept();
    };
    // A trim outside the list shows +4 and stays until another is selected.
    EXPECT_EQ(dialog.tuneOscillator(10, send), 1);
    EXPECT_EQ(entries, (QStringList{"+4", "+3", "+2", "+1", "+0", "-1", "-2", "-3", "-4"}));
    EXPECT_EQ(shownFirst, "+4");

    sent.clear();
    answers.onDialog = [](QDialog& modal) { modal.accept(); };
    EXPECT_EQ(dialog.tuneOscillator(10, send), 10);
    answers.onDialog = [](QDialog& modal) {
        child<QComboBox>(modal, "tuneValueList")->setCurrentIndex(0);
        modal.reject();
    };
    EXPECT_EQ(dialog.tuneOscillator(-3, send), std::nullopt);
    EXPECT_EQ(sent, std::vector<int>{4});
}

} // namespace
