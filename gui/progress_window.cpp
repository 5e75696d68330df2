#include "gui/progress_window.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include "core/company_key.h"
#include "gui/program.h"

namespace {

const QString section = QStringLiteral("PB-Settings");
const QString xKey = QStringLiteral("X");
const QString yKey = QStringLiteral("Y");

constexpr int createdWidth = 390;
constexpr int createdHeight = 130;
constexpr int childSize = 10;
constexpr int textWidth = 390;
constexpr int margin = 10;
// The width and height of a 3-D edge, which the button and the bar are measured in.
constexpr int edge = 2;
constexpr int textBufferSize = 512;

// No close box: the operation closes it, the operator cancels it. A close request from the
// window system is refused for the same reason.
class ProgressPopup : public QWidget {
public:
    explicit ProgressPopup(QWidget* owner)
        : QWidget(owner,
                  Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {}

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

QRect globalRect(const QWidget& widget) {
    return {widget.mapToGlobal(QPoint(0, 0)), widget.size()};
}

} // namespace

ProgressWindow::ProgressWindow(QWidget* mainWindow)
    : mainWindow_(mainWindow), caption_(QString::fromUtf8(ProgressWindowText::caption)),
      cancelText_(QString::fromUtf8(ProgressWindowText::cancelText)) {}

ProgressWindow::~ProgressWindow() {
    close();
}

bool ProgressWindow::open(const QString& title, bool smooth) {
    if (!window_ && !create(title, smooth)) return false;
    if (mainWindow_) mainWindow_->setEnabled(false);
    // The popup is the owner's child, so disabling the owner disabled it too.
    window_->setEnabled(true);
    mainWindowDisabled_ = true;
    return true;
}

bool ProgressWindow::create(const QString& title, bool smooth) {
    font_ = QApplication::font("QMessageBox");
    auto* popup = new ProgressPopup(mainWindow_);
    popup->setObjectName(QStringLiteral("progressWindow"));
    popup->setWindowTitle(title);
    popup->setCursor(Qt::BusyCursor);
    // The window's own background is the button face, as a dialog's is.
    QPalette palette = popup->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    popup->setPalette(palette);
    popup->setAutoFillBackground(true);
    popup->setGeometry(0, 0, createdWidth, createdHeight);

    text_ = new QLabel(popup);
    text_->setObjectName(QStringLiteral("textLine"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(false);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bar_ = new QProgressBar(popup);
    bar_->setObjectName(QStringLiteral("progressBar"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    if (!smooth)
        bar_->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: palette(highlight);"
                                           " width: 8px; margin: 1px; }"));
    cancelButton_ = new QPushButton(cancelText_, popup);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAutoDefault(false);
    cancelButton_->setFocusPolicy(Qt::TabFocus);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgressWindow::cancel);
    for (QWidget* child :
         {static_cast<QWidget*>(text_), static_cast<QWidget*>(bar_), static_cast<QWidget*>(cancelButton_)})
        child->setGeometry(0, 0, childSize, childSize);
    text_->setFont(font_);
    cancelButton_->setFont(font_);
    window_ = popup;

    layOut(textLines_, textWidth);
    if (persistPosition_)
        restorePosition();
    else
        centreOverOwner();
    show();
    return true;
}

void ProgressWindow::layOut(int lines, int width) {
    const QFontMetrics metrics(font_);
    QString ms = QStringLiteral("M");
    for (int line = 1; line < lines; ++line)
        ms += QStringLiteral("\nM");
    const int textHeight = metrics.size(0, ms).height();
    const QRect textRect(margin, margin, width, textHeight);

    const QSize label = metrics.size(Qt::TextSingleLine, cancelText_ + QStringLiteral("  "));
    const int buttonWidth = label.width() + 4 * edge;
    const int buttonHeight = label.height() + 3 * edge;
    const QRect buttonRect(margin + width - buttonWidth, margin + textHeight + margin, buttonWidth,
                           buttonHeight);
    // On the button's row, left of it, a little inside its top and bottom.
    const QRect barRect(margin, buttonRect.top() + edge, buttonRect.left() - margin - margin,
                        buttonHeight - 2 * edge);

    window_->setFixedSize(width + 2 * margin, textHeight + buttonHeight + 3 * margin);
    bar_->setGeometry(barRect);
    cancelButton_->setGeometry(buttonRect);
    text_->setGeometry(textRect);
}

void ProgressWindow::setText(const char* format, ...) {
    if (!window_) return;
    char buffer[textBufferSize];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    text_->setText(QString::fromUtf8(buffer));
}

void ProgressWindow::setRange(int lower, int upper, int step) {
    if (!window_) return;
    upper_ = upper;
    lower_ = lower;
    step_ = step;
    // An empty range would show the toolkit's busy animation; the bar stays empty instead.
    bar_->setRange(lower, std::max(upper, lower + 1));
    barPosition_ = std::clamp(barPosition_, bar_->minimum(), bar_->maximum());
    bar_->setValue(barPosition_);
}

int ProgressWindow::setPosition(int position) {
    if (!window_) return position_;
    show();
    position_ = position;
    const int percent = upper_ > lower_
                            ? static_cast<int>(std::int64_t{position} * 100 / (std::int64_t{upper_} - lower_))
                            : 0;
    // The title keeps the text given to open until the percentage first changes.
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        const std::string base = caption_.toStdString();
        window_->setWindowTitle(QString::asprintf(ProgressWindowText::titleFormat, base.c_str(), percent));
    }
    const int previous = barPosition_;
    barPosition_ = std::clamp(position, bar_->minimum(), bar_->maximum());
    bar_->setValue(barPosition_);
    return previous;
}

void ProgressWindow::show() {
    if (!window_ || !window_->isHidden()) return;
    window_->setAttribute(Qt::WA_ShowWithoutActivating, true);
    window_->show();
    window_->update();
}

void ProgressWindow::hide() {
    if (window_ && window_->isVisible()) window_->hide();
}

void ProgressWindow::pumpMessages(bool escapeCancels) {
    if (mainWindowDisabled_ && window_) {
        // The keyboard belongs to this window while it keeps the main window disabled.
        if (!window_->isActiveWindow()) window_->activateWindow();
        if (QApplication::focusWidget() != window_) window_->setFocus(Qt::OtherFocusReason);
    }
    if (cancelled_) return;
    // Every pending event passes the filter before it is dispatched as usual. A quit request
    // among them ends the main loop once the operation has returned to it.
    escapeCancels_ = escapeCancels;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
}

bool ProgressWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!cancelled_) {
        if (escapeCancels_ && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancel();
        } else if (mainWindowDisabled_ && window_ && event->type() == QEvent::MouseButtonRelease &&
                   watched->isWidgetType()) {
            // Seen before the button itself takes the click.
            const auto* release = static_cast<QMouseEvent*>(event);
            if (release->button() == Qt::LeftButton &&
                globalRect(*cancelButton_).contains(release->globalPosition().toPoint()))
                cancel();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ProgressWindow::cancel() {
    cancelled_ = true;
    hide();
    // Gone without its position being saved, as a window closed by the operator is.
    if (mainWindowDisabled_) destroyWindow();
    if (mainWindow_) {
        mainWindow_->raise();
        mainWindow_->activateWindow();
    }
}

void ProgressWindow::close() {
    if (persistPosition_ && window_) savePosition();
    if (mainWindowDisabled_) {
        mainWindowDisabled_ = false;
        if (mainWindow_) mainWindow_->setEnabled(true);
    }
    destroyWindow();
}

void ProgressWindow::destroyWindow() {
    if (!window_) return;
    // The window may be inside its own button's click handler; it goes when the event loop
    // next gets the chance, and counts as gone from now on.
    window_->hide();
    window_->deleteLater();
    window_ = nullptr;
    text_ = nullptr;
    bar_ = nullptr;
    cancelButton_ = nullptr;
}

void ProgressWindow::restorePosition() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(companyKey),
                    programName());
    store.beginGroup(section);
    const int x = store.value(xKey, -1).toInt();
    const int y = store.value(yKey, -1).toInt();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize();
    if (x >= 0 && x < size.width() && y >= 0 && y < size.height())
        window_->move(x, y);
    else
        centreOverOwner();
}

void ProgressWindow::savePosition() {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(companyKey),
                    programName());
    store.beginGroup(section);
    store.setValue(xKey, window_->x());
    store.setValue(yKey, window_->y());
}

void ProgressWindow::centreOverOwner() {
    QRect over;
    if (mainWindow_)
        over = mainWindow_->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        over = screen->availableGeometry();
    const QSize size = window_->frameGeometry().size();
    window_->move(over.center() - QPoint(size.width() / 2, size.height() / 2));
}

ProgressWindowHandle::ProgressWindowHandle(QWidget* mainWindow, std::string_view title, bool smooth)
    : window_(mainWindow) {
    window_.open(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())), smooth);
}

void ProgressWindowHandle::setText(std::string_view text) {
    window_.setText("%s", std::string(text).c_str());
}
