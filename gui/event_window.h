#pragma once
// The Event window beside the main window: the event's foxes one a row with their state, the
// cycle they make drawn as a timeline with its conflicts beneath, "Write to Timer" for the
// selected fox and "Save Event Sheet..." for the field folder.

#include <optional>
#include <vector>

#include <QString>
#include <QWidget>

#include "core/form/event_file.h"
#include "core/form/event_timeline.h"
#include "core/operations/write_log.h"

class QLabel;
class QPainter;
class QPushButton;
class QTableWidget;

namespace EventWindowText {
inline constexpr const char* title = "Event - %1";
// With their keys (Alt+W, Alt+S), underlined.
inline constexpr const char* writeToTimer = "&Write to Timer";
inline constexpr const char* saveSheet = "Save Event &Sheet...";
inline constexpr const char* notWritten = "not written";
inline constexpr const char* writtenState = "written and verified %1 on %2, %3";
inline constexpr const char* failedState = "%1 on %2: %3";
inline constexpr const char* inThisTimer = "in the timer on %1";
inline constexpr const char* timerHolds = "The timer on %1 holds %2 (cycle ID %3, %4).";
inline constexpr const char* timerHoldsNone =
    "The timer on %1 holds none of these foxes (cycle ID %2, CW text %3).";
inline constexpr const char* emptyCwText = "no CW text";
inline constexpr const char* timerNeverWritten = "The timer on %1 holds no settings yet.";
inline constexpr const char* cannotWriteSheet = "The event sheet cannot be written: ";
} // namespace EventWindowText

// The cycle drawn: one row per fox, one column a slot, the slots in conflict in the error
// colour. Shared by the window and the sheet.
void paintTimeline(QPainter& painter, const QRectF& area, const Timeline& timeline, const QFont& font);

class TimelineView : public QWidget {
public:
    explicit TimelineView(QWidget* parent = nullptr);
    void setTimeline(const Timeline& timeline);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Timeline timeline_;
};

class EventWindow : public QWidget {
    Q_OBJECT

public:
    explicit EventWindow(QWidget* parent = nullptr);

    // The event read from path, its foxes not written yet until showLog says otherwise.
    // Selecting a fox here says nothing: the caller shows the one it selects.
    void setEvent(const EventSetup& event, const QString& path);
    const EventSetup& eventSetup() const { return event_; }
    const QString& path() const { return path_; }
    std::optional<std::size_t> selectedFox() const;
    void selectFox(std::size_t index);
    // Each fox's state from the write log: its last write from this event file.
    void showLog(const std::vector<WriteLogEntry>& log);
    // After a good write of fox index: the next fox not yet written, which foxSelected says.
    void selectNextUnwritten(std::size_t index);
    // After Connect: the row whose cycle ID and CW text the timer holds is marked; nothing
    // held is a timer never written.
    void markTimer(const std::optional<TimerSettings>& held, const QString& port);
    void setConnected(bool connected);
    // The one-page PDF with the table and the timeline.
    bool saveSheet(const QString& path);

signals:
    void foxSelected(int index);
    void writeRequested(int index);

private:
    void chooseSheet();
    void paintSheet(QPainter& painter, const QRectF& page);

    EventSetup event_;
    Timeline timeline_;
    QString path_;
    std::vector<bool> written_;
    QTableWidget* table_;
    TimelineView* timelineView_;
    QLabel* conflicts_;
    QLabel* timerLine_;
    QPushButton* write_;
    bool connected_ = false;
};
