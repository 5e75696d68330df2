// "Load Sound " in the main window, offscreen, against the software timer: the file dialog,
// the progress window and the messages as the operator meets them.

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include "gui/control_dialog.h"
#include "support/emulated_timer.h"
#include "support/golden.h"
#include "support/sound_files.h"

namespace {

// The operator: picks the file in the file dialog, answers every message box, and looks at
// the progress window whenever the program lets the screen live.
class SoundOperator : public QObject {
public:
    SoundOperator(QString file, QWidget& mainWindow) : file_(std::move(file)), mainWindow_(mainWindow) {
        connect(&poll_, &QTimer::timeout, this, &SoundOperator::look);
        poll_.start(1);
    }

    QStringList messages;
    QString initialDirectory;
    bool picks = true; // false: cancels the file dialog
    int progressSeen = 0;
    bool mainDisabledDuringProgress = true;

private:
    void look() {
        if (QWidget* progress = mainWindow_.findChild<QWidget*>(QStringLiteral("progressWindow"));
            progress && progress->isVisible()) {
            ++progressSeen;
            mainDisabledDuringProgress = mainDisabledDuringProgress && !mainWindow_.isEnabled();
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            box->buttons().front()->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            initialDirectory = dialog->directory().absolutePath();
            if (!picks) {
                dialog->reject();
                return;
            }
            dialog->selectFile(file_);
            static_cast<QDialog*>(dialog)->accept();
        }
    }

    QString file_;
    QWidget& mainWindow_;
    QTimer poll_;
};

TEST(LoadSound, ButtonUploadsTheChosenFileWithTheProgressWindow) {
    TempConfigHome home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home.path()));
    TimerEmulator emulator(TimerEmulator::Model::Pic628A, 32);
    // Programmed once, so the form passes its checks.
    loadGoldenImage(emulator, "programmed_without_sound.hex");
    PtyRunner runner(emulator, 6);
    runner.start();
    // A sample long enough to keep the progress window up for a while.
    const std::string file = home.path() + "/fox.wav";
    writeBytes(file, canonicalWav(20000, 0x33));

    ControlDialog dialog;
    dialog.show();
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("portList"));
    list->setCurrentIndex(list->findData(6));
    SoundOperator person(QString::fromStdString(file), dialog);
    dialog.findChild<QPushButton*>(QStringLiteral("connectButton"))->click();
    ASSERT_TRUE(dialog.session().connected());
    dialog.findChild<QRadioButton*>(QStringLiteral("waveFileRadio"))->click();
    auto* loadSound = dialog.findChild<QPushButton*>(QStringLiteral("loadSoundButton"));
    ASSERT_TRUE(loadSound->isEnabled());

    loadSound->click();
    EXPECT_EQ(person.messages, QStringList{"Sound Sample succesful downloaded to timer"});
    // 20000 samples at 9765 Hz: 17714.
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("tableLengthEdit"))->text(), "17714");
    EXPECT_EQ(dialog.settings().audioFilePath, file);
    EXPECT_GT(person.progressSeen, 0);
    EXPECT_TRUE(person.mainDisabledDuringProgress);
    EXPECT_TRUE(dialog.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QWidget* progress = dialog.findChild<QWidget*>(QStringLiteral("progressWindow"));
    EXPECT_TRUE(progress == nullptr || !progress->isVisible());

    std::vector<std::uint8_t> memory;
    runner.withEmulator([&memory](TimerEmulator& e) { memory = e.externalMemory(); });
    // The last sample leans towards the missing one after the data, which is 0.
    EXPECT_TRUE(std::all_of(memory.begin(), memory.begin() + 17713, [](auto b) { return b == 0x33; }));
    EXPECT_EQ(memory[17713], 23);
    EXPECT_EQ(memory[17714], 0);
    EXPECT_EQ(memory[17727], 0);
    EXPECT_EQ(memory[17728], 0xFF);

    // The next choice starts where the last one was; cancelled, it changes nothing.
    person.messages.clear();
    person.picks = false;
    loadSound->click();
    EXPECT_EQ(person.initialDirectory, QString::fromStdString(home.path()));
    EXPECT_TRUE(person.messages.isEmpty());
    EXPECT_EQ(dialog.settings().audioFilePath, file);
}

} // namespace
