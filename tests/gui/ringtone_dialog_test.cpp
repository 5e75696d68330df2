// "Ring Tone Dialog" offscreen: its layout, Load File through the real open-file dialog,
// the buttons, the preview held until it ends or Escape, and "Load Ringtone" of the main
// window opening it with the file last used.

#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include "gui/control_dialog.h"
#include "gui/dialog_units.h"
#include "gui/program.h"
#include "gui/ringtone_dialog.h"
#include "support/emulated_timer.h"
#include "support/modal_operator.h"

namespace {

const QString examplePath = QStringLiteral(TAVOFOX_TEST_DATA "/ringtone/worked_example_crlf.rtt");

template <typename T> T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) ADD_FAILURE() << "no control " << name;
    return found;
}

// The sound of the preview replaced by a wait that only stopTones ends; during runs once
// the wait has begun.
class PreviewDialog : public RingtoneDialog {
public:
    using RingtoneDialog::RingtoneDialog;
    std::function<void()> during;
    std::vector<PlayedTone> played;
    bool stopped = false;

protected:
    void playTones(const std::vector<PlayedTone>& tones) override {
        played = tones;
        QEventLoop wait;
        waiting_ = &wait;
        QTimer::singleShot(0, this, [this] { during(); });
        wait.exec();
        waiting_ = nullptr;
    }
    void stopTones() override {
        stopped = true;
        if (waiting_) waiting_->quit();
    }

private:
    QEventLoop* waiting_ = nullptr;
};

void click(QWidget* widget) {
    const QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void pressEscape(QWidget* widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

class RingtoneDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(home.path()));
    }
    TempConfigHome home;
    ModalOperator operatorAtBoxes;
};

TEST_F(RingtoneDialogTest, LayoutLoadFileButtonsAndPreview) {
    PreviewDialog dialog(examplePath.toStdString());
    EXPECT_EQ(dialog.windowTitle(), "Ring Tone Dialog");
    const DialogBaseUnits base = dialogBaseUnits(dialogFont());
    const auto px = [](int units, int baseUnit, int per) { return (units * baseUnit + per / 2) / per; };
    EXPECT_EQ(dialog.size(), QSize(px(322, base.x, 4), px(151, base.y, 8)));
    EXPECT_EQ(child<QWidget>(dialog, "previewButton")->geometry(),
              QRect(px(85, base.x, 4), px(130, base.y, 8), px(65, base.x, 4), px(15, base.y, 8)));
    EXPECT_TRUE(child<QPushButton>(dialog, "sendButton")->isDefault());
    for (const char* name :
         {"rtttlTextEdit", "defaultOctaveEdit", "defaultDurationEdit", "notesDefinedEdit", "eeDataSizeEdit"})
        EXPECT_TRUE(child<QLineEdit>(dialog, name)->isReadOnly()) << name;
    auto* bpm = child<QLineEdit>(dialog, "beatsPerMinuteEdit");
    EXPECT_FALSE(bpm->isReadOnly());
    EXPECT_TRUE(bpm->alignment() & Qt::AlignRight);
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 4, button->width())
            << button->text().toStdString();
    // The start values; the file last used is not loaded by itself.
    EXPECT_EQ(child<QLineEdit>(dialog, "defaultOctaveEdit")->text(), "6");
    EXPECT_EQ(bpm->text(), "63");
    EXPECT_TRUE(child<QCheckBox>(dialog, "staccatoCheck")->isChecked());
    EXPECT_EQ(child<QLineEdit>(dialog, "rtttlTextEdit")->text(), "");
    dialog.show();

    // Load File asks with the real open-file dialog, in the folder of the file last used
    // with its name.
    QStringList filters;
    QString suffix;
    operatorAtBoxes.onDialog = [&](QDialog& modal) {
        auto* chooser = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(chooser, nullptr);
        filters = chooser->nameFilters();
        suffix = chooser->defaultSuffix();
        EXPECT_EQ(chooser->windowTitle(), "Open");
        EXPECT_EQ(chooser->directory(), QFileInfo(examplePath).dir());
        EXPECT_EQ(chooser->selectedFiles(), QStringList{examplePath});
        modal.accept();
    };
    child<QCheckBox>(dialog, "staccatoCheck")->setChecked(false);
    child<QPushButton>(dialog, "loadFileButton")->click();
    EXPECT_EQ(filters, (QStringList{"Ringtone Files (*.rtt)", "All Files (*)"}));
    EXPECT_EQ(suffix, "rtt");
    EXPECT_TRUE(operatorAtBoxes.texts().isEmpty()) << operatorAtBoxes.texts().join('|').toStdString();
    EXPECT_EQ(child<QLineEdit>(dialog, "rtttlTextEdit")->text(), "Example:d=4,o=5,b=120:8a,4a,8c.6,p");
    EXPECT_EQ(child<QLineEdit>(dialog, "notesDefinedEdit")->text(), "4");
    EXPECT_EQ(child<QLineEdit>(dialog, "eeDataSizeEdit")->text(), "12");
    EXPECT_TRUE(child<QCheckBox>(dialog, "staccatoCheck")->isChecked());

    for (const char* name : {"compactButton", "shiftUpButton", "shiftDownButton"})
        child<QPushButton>(dialog, name)->click();
    EXPECT_EQ(operatorAtBoxes.texts(), QStringList(3, "Not implemented in this version"));

    // During the preview the dialog takes no input; Escape ends the preview, not the dialog.
    bpm->setText(QStringLiteral("240"));
    bool dialogDuringPreview = false;
    operatorAtBoxes.onDialog = [&dialogDuringPreview](QDialog& modal) {
        dialogDuringPreview = true;
        modal.reject();
    };
    bool previewingDuring = false;
    dialog.during = [&] {
        previewingDuring = dialog.previewing();
        click(child<QPushButton>(dialog, "closeButton"));
        click(child<QPushButton>(dialog, "loadFileButton"));
        pressEscape(bpm);
    };
    child<QPushButton>(dialog, "previewButton")->click();
    EXPECT_TRUE(previewingDuring);
    EXPECT_FALSE(dialogDuringPreview);
    EXPECT_TRUE(dialog.stopped);
    EXPECT_FALSE(dialog.previewing());
    EXPECT_EQ(dialog.played, (std::vector<PlayedTone>{{440, 125}, {440, 250}, {1047, 187}, {0, 250}}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);

    child<QPushButton>(dialog, "sendButton")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const RingtoneChoice choice = dialog.choice();
    EXPECT_TRUE(choice.melodyValid);
    EXPECT_EQ(choice.filePath, examplePath.toStdString());
    EXPECT_EQ(choice.melody[4], 0xC0);
}

TEST_F(RingtoneDialogTest, LoadRingtoneOpensTheDialogWithTheFileLastUsed) {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("VOSK"), programName())
        .setValue(QStringLiteral("Settings/RingToneFile"), examplePath);
    ControlDialog window;
    operatorAtBoxes.boxes.clear();
    auto* button = child<QPushButton>(window, "loadRingtoneButton");
    EXPECT_FALSE(button->isEnabled());
    child<QRadioButton>(window, "ringtoneRadio")->click();
    ASSERT_TRUE(button->isEnabled());

    std::string shown;
    operatorAtBoxes.onDialog = [&shown](QDialog& modal) {
        auto* dialog = qobject_cast<RingtoneDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        shown = dialog->model().filePath;
        pressEscape(dialog);
    };
    button->click();
    EXPECT_EQ(shown, examplePath.toStdString());
    EXPECT_TRUE(operatorAtBoxes.texts().isEmpty());
    EXPECT_EQ(window.settings().ringtoneFilePath, examplePath.toStdString());
}

} // namespace
