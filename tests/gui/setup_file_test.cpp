// A setup file from the window to a timer: opened and saved by the window, written by
// tavofoxctl, against the software timer on a pseudo-terminal.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include <gtest/gtest.h>

#include "cli/ctl_run.h"
#include "core/operations/write_log.h"
#include "gui/control_dialog.h"
#include "gui/program.h"
#include "support/emulated_timer.h"
#include "support/golden.h"
#include "support/modal_operator.h"

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace

TEST(SetupFile, WindowToFileToTavofoxctlToTimerImage) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { loadGoldenImage(e, "programmed_without_sound.hex"); });
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(timer.home.path()));
    ModalOperator operatorAtBoxes;
    const std::string golden = std::string(TAVOFOX_TEST_DATA) + "/setup/fox3.tavofox";
    const std::string saved = timer.home.path() + "/fox3.tavofox";
    {
        ControlDialog window;
        ASSERT_TRUE(window.openSetup(QString::fromStdString(golden)));
        EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("cycleIdEdit"))->text(), "3");
        EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("cwTextEdit"))->text(), "MOS");
        EXPECT_EQ(window.windowTitle(), "fox3 - Mervak's TAVO FOX Control Program V 2.0");
        // Save Setup asks in the folder of the setup last used, with its name.
        operatorAtBoxes.onDialog = [&](QDialog& modal) {
            auto* chooser = qobject_cast<QFileDialog*>(&modal);
            ASSERT_NE(chooser, nullptr);
            EXPECT_EQ(chooser->windowTitle(), "Save As");
            EXPECT_EQ(chooser->directory(), QFileInfo(QString::fromStdString(golden)).dir());
            EXPECT_EQ(chooser->selectedFiles(), QStringList{QString::fromStdString(golden)});
            chooser->selectFile(QString::fromStdString(saved));
            modal.accept();
        };
        for (QAction* action : window.actions())
            if (action->text() == "&Save Setup...") action->trigger();
        EXPECT_EQ(window.windowTitle(), "fox3 - Mervak's TAVO FOX Control Program V 2.0");
    }
    EXPECT_TRUE(operatorAtBoxes.texts().isEmpty()) << operatorAtBoxes.texts().join('\n').toStdString();
    // What the window opens it saves unchanged.
    EXPECT_EQ(contentOf(saved), contentOf(golden));
    // The next run starts with the file last saved.
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("VOSK"), programName())
                  .value(QStringLiteral("Settings/SetupFile")),
              QString::fromStdString(saved));

    const CtlResult run =
        tavofoxctl({"--port", std::to_string(timer.runner->port()), "write", "--from", saved});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "fox3.tavofox written to the timer on COM7 and verified: Cycle ID 3, MOS\n");
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + TimerMemoryMap::imageLength),
              goldenBytes("setup/fox3_image.hex"));
}

// The window's Write Whole Setup, from its menu: Connect shows the timer's values, so the title
// leaves the setup's name out until the setup is written; the write ends in one message that
// names the setup and the timer, and the write log has the line.
TEST(SetupFile, WriteWholeSetupFromTheMenuNamesTheSetupAndTheTimer) {
    EmulatedTimer timer;
    timer.with([](TimerEmulator& e) { loadGoldenImage(e, "programmed_without_sound.hex"); });
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(timer.home.path()));
    ModalOperator operatorAtBoxes;
    ControlDialog window;
    ASSERT_TRUE(
        window.openSetup(QString::fromStdString(std::string(TAVOFOX_TEST_DATA) + "/setup/fox3.tavofox")));
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("portList"));
    ports->setCurrentIndex(ports->findData(timer.runner->port()));
    window.findChild<QPushButton*>(QStringLiteral("connectButton"))->click();
    EXPECT_EQ(window.windowTitle(), "Mervak's TAVO FOX Control Program V 2.0");

    QAction* write = nullptr;
    for (QAction* action : window.actions())
        if (action->text() == "&Write Whole Setup to Timer") write = action;
    ASSERT_TRUE(write && write->isEnabled());
    write->trigger();
    ASSERT_FALSE(operatorAtBoxes.boxes.empty());
    EXPECT_EQ(operatorAtBoxes.boxes.back().text,
              "fox3.tavofox written to the timer on COM7 and verified: Cycle ID 3, MOS");
    EXPECT_EQ(window.windowTitle(), "fox3 - Mervak's TAVO FOX Control Program V 2.0");
    const auto log = readWriteLog();
    ASSERT_TRUE(log && log->size() == 1);
    EXPECT_EQ(log->front().outcome, operatorAtBoxes.boxes.back().text.toStdString());
}

// A window that remembers last week's sound file and tone sequence, and holds a step table that
// nobody set, saves none of them, nor the timer's own settings.
TEST(SetupFile, SaveSetupSavesOnlyWhatTheOperatorSet) {
    TempConfigHome home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home.path()));
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("VOSK"), programName());
        store.setValue(QStringLiteral("Settings/AudioFile"), QStringLiteral("/fox/last-week.wav"));
        store.setValue(QStringLiteral("Settings/ToneSequence"), QStringLiteral("800,10,1000,20"));
    }
    ModalOperator operatorAtBoxes;
    const std::string saved = home.path() + "/fox1.tavofox";
    {
        ControlDialog window;
        ASSERT_TRUE(window.saveSetup(QString::fromStdString(saved)));
    }
    const std::string content = contentOf(saved);
    for (const char* line : {"\ntransmitSequence=\n", "\ntoneSequenceText=\n", "\nsoundFile=\n"})
        EXPECT_NE(content.find(line), std::string::npos) << line << content;
    EXPECT_EQ(content.find("oscillatorTune"), std::string::npos);
    EXPECT_EQ(content.find("tableLength"), std::string::npos);
}
