// The progress window, offscreen, with the real settings store in a private config folder.

#include <memory>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <gtest/gtest.h>

#include "gui/program.h"
#include "gui/progress_window.h"
#include "support/emulated_timer.h"

namespace {

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(home.path()));
        mainWindow.setGeometry(100, 80, 400, 300);
        mainWindow.show();
        QApplication::processEvents();
    }

    static std::unique_ptr<QSettings> store() {
        auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                    QStringLiteral("VOSK"), programName());
        settings->beginGroup(QStringLiteral("PB-Settings"));
        return settings;
    }

    static void post(QWidget* target, QEvent* event) { QCoreApplication::postEvent(target, event); }

    TempConfigHome home;
    QWidget mainWindow;
};

TEST_F(ProgressWindowTest, TitleShowsThePercentageOnlyOnceItChanges) {
    ProgressWindow progress(&mainWindow);
    ASSERT_TRUE(progress.open(QStringLiteral("Start"), false));
    QWidget* window = progress.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(progress.mainWindowDisabled());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(progress.cancelButton()->text(), " Breek Af ");

    progress.setRange(0, 200, 1);
    EXPECT_EQ(progress.setPosition(0), 0);
    EXPECT_EQ(window->windowTitle(), "Start");
    EXPECT_EQ(progress.setPosition(1), 0);
    EXPECT_EQ(window->windowTitle(), "Start");
    EXPECT_EQ(progress.setPosition(2), 1);
    EXPECT_EQ(window->windowTitle(), "Voortgang [1%]");
    window->setWindowTitle(QStringLiteral("unchanged"));
    EXPECT_EQ(progress.setPosition(3), 2);
    EXPECT_EQ(window->windowTitle(), "unchanged");
    EXPECT_EQ(progress.progressBar()->value(), 3);

    // A range of no width gives 0 %, so the title never changes.
    progress.setRange(5, 5, 1);
    progress.setPosition(5);
    EXPECT_EQ(window->windowTitle(), "Voortgang [0%]");
    window->setWindowTitle(QStringLiteral("flat"));
    progress.setPosition(500);
    EXPECT_EQ(window->windowTitle(), "flat");
    EXPECT_EQ(progress.lastPercent(), 0);

    progress.close();
    EXPECT_EQ(progress.window(), nullptr);
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_EQ(progress.setPosition(7), 500);
}

TEST_F(ProgressWindowTest, LayoutFollowsTheMessageBoxFont) {
    ProgressWindow progress(&mainWindow);
    ASSERT_TRUE(progress.open(QString(), true));
    progress.setText("Downloading %s %d", "file", 42);
    EXPECT_EQ(progress.textLine()->text(), "Downloading file 42");

    const QFontMetrics metrics(QApplication::font("QMessageBox"));
    const QRect text = progress.textLine()->geometry();
    const QRect button = progress.cancelButton()->geometry();
    const QRect bar = progress.progressBar()->geometry();
    EXPECT_EQ(text, QRect(10, 10, 390, metrics.height()));
    EXPECT_EQ(button.right() + 1, 400);
    EXPECT_EQ(button.top(), text.bottom() + 1 + 10);
    EXPECT_EQ(button.width(), metrics.horizontalAdvance(QStringLiteral(" Breek Af   ")) + 8);
    EXPECT_EQ(bar.left(), 10);
    EXPECT_EQ(bar.right() + 1, button.left() - 10);
    EXPECT_EQ(bar.top(), button.top() + 2);
    EXPECT_EQ(bar.bottom(), button.bottom() - 2);
    EXPECT_EQ(progress.window()->size(), QSize(410, text.height() + button.height() + 30));

    // Long texts are cut to the buffer.
    progress.setText("%s", std::string(600, 'x').c_str());
    EXPECT_EQ(progress.textLine()->text().size(), 511);
}

TEST_F(ProgressWindowTest, PositionIsSavedAndRestoredOrTheWindowIsCentred) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    {
        store()->setValue(QStringLiteral("X"), 0);
        store()->setValue(QStringLiteral("Y"), 0);
        ProgressWindow progress(&mainWindow);
        ASSERT_TRUE(progress.open(QString(), false));
        EXPECT_EQ(progress.window()->pos(), QPoint(0, 0));
        progress.window()->move(37, 21);
    } // destroyed: closed
    EXPECT_EQ(store()->value(QStringLiteral("X")).toInt(), 37);
    EXPECT_EQ(store()->value(QStringLiteral("Y")).toInt(), 21);
    {
        ProgressWindow progress(&mainWindow);
        ASSERT_TRUE(progress.open(QString(), false));
        EXPECT_EQ(progress.window()->pos(), QPoint(37, 21));
    }
    for (const QPoint saved : {QPoint(-5, 10), QPoint(screen.width(), 10), QPoint(10, screen.height())}) {
        store()->setValue(QStringLiteral("X"), saved.x());
        store()->setValue(QStringLiteral("Y"), saved.y());
        ProgressWindow progress(&mainWindow);
        ASSERT_TRUE(progress.open(QString(), false));
        const QPoint centre = progress.window()->frameGeometry().center();
        EXPECT_LE((centre - mainWindow.frameGeometry().center()).manhattanLength(), 2) << saved.x();
        progress.setPersistPosition(false);
    }
    // Not persisting: nothing saved.
    EXPECT_EQ(store()->value(QStringLiteral("X")).toInt(), 10);
}

TEST_F(ProgressWindowTest, EscapeCancelsOnlyWithTheFlagAndTheButtonAlways) {
    ProgressWindow progress(&mainWindow);
    ASSERT_TRUE(progress.open(QString(), false));
    progress.setRange(0, 100, 1);
    progress.setPosition(40);

    post(progress.window(),
         new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b")));
    progress.pumpMessages(false);
    EXPECT_FALSE(progress.cancelled());
    ASSERT_NE(progress.window(), nullptr);

    post(progress.window(),
         new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b")));
    progress.pumpMessages(true);
    EXPECT_TRUE(progress.cancelled());
    EXPECT_EQ(progress.window(), nullptr);
    // Gone without its position saved; the main window waits for close.
    EXPECT_FALSE(store()->contains(QStringLiteral("X")));
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_EQ(progress.setPosition(90), 40);
    progress.close();
    EXPECT_TRUE(mainWindow.isEnabled());

    // A release of the left button over the cancel button, seen while pumping.
    ProgressWindow other(&mainWindow);
    ASSERT_TRUE(other.open(QString(), false));
    QPushButton* button = other.cancelButton();
    const QPoint inside = button->rect().center();
    post(button,
         new QMouseEvent(QEvent::MouseButtonRelease, QPointF(inside), QPointF(button->mapToGlobal(inside)),
                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    other.pumpMessages(false);
    EXPECT_TRUE(other.cancelled());

    // The button's own click, dispatched outside a pump, cancels as well.
    ProgressWindow clicked(&mainWindow);
    ASSERT_TRUE(clicked.open(QString(), false));
    clicked.cancelButton()->click();
    EXPECT_TRUE(clicked.cancelled());
    EXPECT_EQ(clicked.window(), nullptr);
}

} // namespace
