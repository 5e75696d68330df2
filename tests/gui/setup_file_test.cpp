// A setup file from the window to a timer: opened and saved by the window, written by
// tavofoxctl, against the software timer on a pseudo-terminal.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>

#include <gtest/gtest.h>

#include "cli/ctl_run.h"
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
    const auto memory = timer.with([](TimerEmulator& e) { return e.parameterMemory(); });
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + TimerMemoryMap::imageLength),
              goldenBytes("setup/fox3_image.hex"));
}
