#pragma once
// A small popup that a long operation on the window's thread shows while it works: a title
// with a percentage, a text line, a bar and a cancel button. While it is open the main window
// is disabled, and the operation lets it process the application's events between its steps.
// It remembers where the operator last put it.

#include <string_view>

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>

#include "core/operator_panel.h"

class QEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace ProgressWindowText {
inline constexpr const char* caption = "Voortgang";
inline constexpr const char* cancelText = " Breek Af ";
inline constexpr const char* titleFormat = "%s [%d%%]";
} // namespace ProgressWindowText

class ProgressWindow : public QObject {
    Q_OBJECT

public:
    // mainWindow: the owner, disabled while the window is open; may be null.
    explicit ProgressWindow(QWidget* mainWindow = nullptr);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Creates the window if there is none (title, smooth or segmented bar), disables the
    // main window and enables itself. False when the window cannot be created.
    bool open(const QString& title, bool smooth);
    // printf-style, at most 511 characters.
    void setText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void setRange(int lower, int upper, int step);
    // Shows the window, moves the bar and sets the title "Voortgang [n%]" when the
    // percentage changes; gives the bar's previous position.
    int setPosition(int position);
    void show();
    void hide();
    // Processes the application's pending events; Escape cancels when escapeCancels is set.
    void pumpMessages(bool escapeCancels);
    // The cancel action (Escape, the button): records it, hides and destroys the window.
    void cancel();
    // Saves the position, enables the main window again and destroys the window.
    void close();

    bool cancelled() const { return cancelled_; }
    bool mainWindowDisabled() const { return mainWindowDisabled_; }
    bool persistPosition() const { return persistPosition_; }
    void setPersistPosition(bool persist) { persistPosition_ = persist; }
    int position() const { return position_; }
    int lastPercent() const { return lastPercent_; }
    int step() const { return step_; }
    int upper() const { return upper_; }
    int lower() const { return lower_; }
    int textLines() const { return textLines_; }
    QString caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }
    QString cancelText() const { return cancelText_; }
    void setCancelText(const QString& text) { cancelText_ = text; }

    // The popup while it exists, and its controls (for the window's tests).
    QWidget* window() const { return window_; }
    QLabel* textLine() const { return window_ ? text_ : nullptr; }
    QProgressBar* progressBar() const { return window_ ? bar_ : nullptr; }
    QPushButton* cancelButton() const { return window_ ? cancelButton_ : nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool create(const QString& title, bool smooth);
    void layOut(int lines, int textWidth);
    void restorePosition();
    void savePosition();
    void centreOverOwner();
    void destroyWindow();

    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> window_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    bool cancelled_ = false;
    bool mainWindowDisabled_ = false;
    bool persistPosition_ = true;
    int position_ = 0;
    int lastPercent_ = 0;
    int step_ = 1;
    int upper_ = 100;
    int lower_ = 0;
    int textLines_ = 1;
    int barPosition_ = 0;
    QString caption_;
    QString cancelText_;
    QFont font_;
    bool escapeCancels_ = false;
};

// The window behind the operations' progress seam.
class ProgressWindowHandle : public ProgressHandle {
public:
    ProgressWindowHandle(QWidget* mainWindow, std::string_view title, bool smooth);

    void setText(std::string_view text) override;
    void setRange(int lower, int upper, int step) override { window_.setRange(lower, upper, step); }
    int setPosition(int position) override { return window_.setPosition(position); }
    void pump(bool escapeCancels) override { window_.pumpMessages(escapeCancels); }
    bool cancelled() const override { return window_.cancelled(); }
    void close() override { window_.close(); }

    ProgressWindow& window() { return window_; }

private:
    ProgressWindow window_;
};
