#include "gui/event_window.h"

#include <algorithm>
#include <array>

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/formats/utf8.h"
#include "core/operations/whole_setup.h"
#include "gui/program.h"

namespace {

const QStringList columnTitles{QStringLiteral("Fox"), QStringLiteral("Cycle ID"), QStringLiteral("CW text"),
                               QStringLiteral("Mode"), QStringLiteral("State")};
enum Column { nameColumn, cycleIdColumn, cwTextColumn, modeColumn, stateColumn };
// The transmission group's own words.
constexpr std::array<const char*, 3> modeTexts{"Continuous Transmission", "Cycled Transmission",
                                               "Sequenced Transmission"};
const QString sheetFilter = QStringLiteral("PDF (*.pdf)");

const QColor errorColour(205, 35, 35);

QColor slotColour(SlotUse use, FoxKind kind) {
    switch (use) {
    case SlotUse::onAir:
        return kind == FoxKind::beacon ? QColor(120, 145, 175) : QColor(35, 100, 190);
    case SlotUse::toneSequence:
        return QColor(0, 140, 130);
    case SlotUse::singleTone:
        return QColor(80, 150, 50);
    case SlotUse::waveFile:
        return QColor(135, 90, 190);
    case SlotUse::cwMessage:
        return QColor(35, 100, 190);
    case SlotUse::soundEffect:
        return QColor(225, 135, 0);
    case SlotUse::ringtoneMelody:
        return QColor(195, 70, 140);
    default:
        return QColor(185, 185, 185);
    }
}

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

QString modeText(TransmitMode mode) {
    const auto index = static_cast<std::size_t>(mode);
    return index < modeTexts.size() ? QString::fromLatin1(modeTexts[index]) : QString();
}

QString cycleIdText(const TimerSettings& settings) {
    return settings.transmitMode == TransmitMode::cycled ? QString::number(settings.cycleId)
                                                         : QStringLiteral("-");
}

// A log line of a write that ended complete: the setup write's own words for it, the part
// between the port and the summary (" and verified: ").
bool writtenAndVerified(const WriteLogEntry& entry) {
    const std::string_view verified = WholeSetupText::verified;
    const auto from = verified.find("%2") + 2;
    return entry.outcome.find(verified.substr(from, verified.find("%3") - from)) != std::string::npos;
}

QString conflictLines(const Timeline& timeline, const std::vector<std::string>& warnings) {
    QStringList lines;
    for (const std::string& warning : warnings)
        lines << text(warning);
    for (const TimelineConflict& conflict : timeline.conflicts)
        lines << text(conflict.text);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void paintTimeline(QPainter& painter, const QRectF& area, const Timeline& timeline, const QFont& font) {
    painter.save();
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const int slotCount = timeline.slotCount();
    const int rows = static_cast<int>(timeline.rows.size());
    if (slotCount == 0 || rows == 0) {
        painter.restore();
        return;
    }
    qreal labelWidth = 0;
    for (const TimelineRow& row : timeline.rows)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(text(row.name)));
    labelWidth += metrics.averageCharWidth() * 2;
    const qreal axis = metrics.height() * 1.4;
    const qreal label = metrics.horizontalAdvance(QStringLiteral("00:00")) * 1.3;
    const qreal band = metrics.height() * 0.5;
    const QRectF grid(area.left() + labelWidth, area.top() + band, area.width() - labelWidth - label / 2,
                      area.height() - axis - band);
    const qreal column = grid.width() / slotCount;
    const qreal rowHeight = grid.height() / rows;

    // The slotCount in conflict: a band above the rows and their columns behind, in the error colour.
    for (const TimelineConflict& conflict : timeline.conflicts) {
        if (conflict.endSlot == conflict.firstSlot) continue;
        const qreal left = grid.left() + conflict.firstSlot * column;
        const qreal width = (conflict.endSlot - conflict.firstSlot) * column;
        painter.fillRect(QRectF(left, area.top(), width, band * 0.8), errorColour);
        QColor behind = errorColour;
        behind.setAlpha(45);
        painter.fillRect(QRectF(left, grid.top(), width, grid.height()), behind);
    }
    for (int r = 0; r < rows; ++r) {
        const TimelineRow& row = timeline.rows[r];
        const qreal top = grid.top() + r * rowHeight;
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), top, labelWidth, rowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                         text(row.name));
        for (int s = 0; s < slotCount; ++s) {
            const SlotUse use = row.uses[s];
            if (use == SlotUse::off) continue;
            const QRectF cell(grid.left() + s * column + 1, top + rowHeight * 0.2, column - 2,
                              rowHeight * 0.6);
            if (use == SlotUse::unknown) {
                painter.fillRect(cell, QBrush(slotColour(use, row.kind), Qt::BDiagPattern));
                continue;
            }
            painter.fillRect(cell, slotColour(use, row.kind));
            if (use != SlotUse::onAir && cell.width() > metrics.averageCharWidth() * 1.5) {
                painter.setPen(Qt::white);
                painter.drawText(cell, Qt::AlignCenter, QString(QLatin1Char(slotCharacter(use))));
            }
        }
    }
    // The steps of the cycle, each boundary labelled where there is room.
    painter.setPen(QColor(150, 150, 150));
    const int slotsPerStep = std::max(1, timeline.stepSeconds / std::max(1, timeline.slotSeconds));
    int every = 1;
    while (every * slotsPerStep * column < label)
        ++every;
    for (int s = 0; s <= slotCount; s += slotsPerStep) {
        const qreal x = grid.left() + s * column;
        painter.setPen(QColor(150, 150, 150));
        painter.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
        if ((s / slotsPerStep) % every != 0) continue;
        painter.setPen(Qt::black);
        const QString time = text(minutesText(s * timeline.slotSeconds));
        painter.drawText(QRectF(x - label / 2, grid.bottom(), label, axis), Qt::AlignCenter, time);
    }
    painter.restore();
}

TimelineView::TimelineView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void TimelineView::setTimeline(const Timeline& timeline) {
    timeline_ = timeline;
    updateGeometry();
    update();
}

QSize TimelineView::sizeHint() const {
    const int line = fontMetrics().height();
    return {480, static_cast<int>(line * (1.9 + 1.6 * timeline_.rows.size()))};
}

void TimelineView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    paintTimeline(painter, QRectF(rect()).adjusted(6, 4, -6, -2), timeline_, font());
}

EventWindow::EventWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, static_cast<int>(columnTitles.size()), this);
    table_->setHorizontalHeaderLabels(columnTitles);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_);
    timerLine_ = new QLabel(this);
    timerLine_->hide();
    layout->addWidget(timerLine_);
    timelineView_ = new TimelineView(this);
    layout->addWidget(timelineView_, 1);
    conflicts_ = new QLabel(this);
    conflicts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette error = conflicts_->palette();
    error.setColor(QPalette::WindowText, errorColour);
    conflicts_->setPalette(error);
    layout->addWidget(conflicts_);
    auto* buttons = new QHBoxLayout;
    write_ = new QPushButton(QString::fromLatin1(EventWindowText::writeToTimer), this);
    write_->setEnabled(false);
    auto* sheet = new QPushButton(QString::fromLatin1(EventWindowText::saveSheet), this);
    buttons->addWidget(write_);
    buttons->addWidget(sheet);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (const auto index = selectedFox()) emit foxSelected(static_cast<int>(*index));
        setConnected(connected_);
    });
    connect(write_, &QPushButton::clicked, this, [this] {
        if (const auto index = selectedFox()) emit writeRequested(static_cast<int>(*index));
    });
    connect(sheet, &QPushButton::clicked, this, &EventWindow::chooseSheet);
}

void EventWindow::setEvent(const EventSetup& event, const QString& path) {
    event_ = event;
    path_ = path;
    timeline_ = eventTimeline(event_);
    written_.assign(event_.foxes.size(), false);
    setWindowTitle(QString::fromLatin1(EventWindowText::title).arg(QFileInfo(path).fileName()));
    const QSignalBlocker quiet(table_);
    table_->setRowCount(static_cast<int>(event_.foxes.size()));
    for (std::size_t i = 0; i < event_.foxes.size(); ++i) {
        const EventFox& fox = event_.foxes[i];
        const TimerSettings& settings = fox.setup.settings;
        const QStringList cells{text(fox.name), cycleIdText(settings), text(latin1ToUtf8(settings.cwText)),
                                modeText(settings.transmitMode),
                                QString::fromLatin1(EventWindowText::notWritten)};
        for (int c = 0; c < cells.size(); ++c)
            table_->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
    }
    for (int c = nameColumn; c < stateColumn; ++c)
        table_->resizeColumnToContents(c);
    // Every fox in sight, nothing more.
    table_->setFixedHeight(table_->horizontalHeader()->height() + 2 * table_->frameWidth() +
                           table_->verticalHeader()->length());
    timelineView_->setTimeline(timeline_);
    const QString conflicts = conflictLines(timeline_, event_.warnings);
    conflicts_->setText(conflicts);
    conflicts_->setVisible(!conflicts.isEmpty());
    timerLine_->hide();
}

void EventWindow::showLog(const std::vector<WriteLogEntry>& log) {
    const std::string setup = path_.toStdString();
    for (std::size_t i = 0; i < event_.foxes.size(); ++i) {
        const std::string& name = event_.foxes[i].name;
        const auto last = std::find_if(log.rbegin(), log.rend(), [&](const WriteLogEntry& entry) {
            return entry.setup == setup && entry.fox == name;
        });
        QTableWidgetItem* state = table_->item(static_cast<int>(i), stateColumn);
        if (last == log.rend()) {
            state->setText(QString::fromLatin1(EventWindowText::notWritten));
            continue;
        }
        // "2026-12-08 19:42:10": the time of day to the minute.
        const QString when = text(last->time.substr(std::min<std::size_t>(last->time.size(), 11), 5));
        written_[i] = writtenAndVerified(*last);
        state->setText(written_[i] ? QString::fromLatin1(EventWindowText::writtenState)
                                         .arg(when, text(last->port), text(last->timer))
                                   : QString::fromLatin1(EventWindowText::failedState)
                                         .arg(when, text(last->port), text(last->outcome)));
        state->setForeground(written_[i] ? palette().text() : QBrush(errorColour));
        state->setToolTip(text(last->outcome));
    }
}

std::optional<std::size_t> EventWindow::selectedFox() const {
    const QList<QTableWidgetSelectionRange> ranges = table_->selectedRanges();
    if (ranges.isEmpty()) return std::nullopt;
    return static_cast<std::size_t>(ranges.constFirst().topRow());
}

void EventWindow::selectFox(std::size_t index) {
    const QSignalBlocker quiet(table_);
    table_->selectRow(static_cast<int>(index));
    setConnected(connected_);
}

void EventWindow::selectNextUnwritten(std::size_t index) {
    // After this one, then from the top.
    for (std::size_t step = 1; step < written_.size(); ++step) {
        const std::size_t next = (index + step) % written_.size();
        if (!written_[next]) {
            selectFox(next);
            emit foxSelected(static_cast<int>(next));
            return;
        }
    }
}

void EventWindow::markTimer(const std::optional<TimerSettings>& held, const QString& port) {
    std::optional<std::size_t> match;
    for (std::size_t i = 0; i < event_.foxes.size(); ++i) {
        const TimerSettings& fox = event_.foxes[i].setup.settings;
        const bool holds = !match && held && fox.cycleId == held->cycleId && fox.cwText == held->cwText;
        if (holds) match = i;
        for (int c = 0; c < table_->columnCount(); ++c) {
            QFont font = table_->item(static_cast<int>(i), c)->font();
            font.setBold(holds);
            table_->item(static_cast<int>(i), c)->setFont(font);
        }
        table_->item(static_cast<int>(i), nameColumn)
            ->setToolTip(holds ? QString::fromLatin1(EventWindowText::inThisTimer).arg(port) : QString());
    }
    if (!held) {
        timerLine_->setText(QString::fromLatin1(EventWindowText::timerNeverWritten).arg(port));
    } else {
        const QString cwText = held->cwText.empty() ? QString::fromLatin1(EventWindowText::emptyCwText)
                                                    : text(latin1ToUtf8(held->cwText));
        timerLine_->setText(
            match ? QString::fromLatin1(EventWindowText::timerHolds)
                        .arg(port, text(event_.foxes[*match].name), QString::number(held->cycleId), cwText)
                  : QString::fromLatin1(EventWindowText::timerHoldsNone)
                        .arg(port, QString::number(held->cycleId), cwText));
    }
    timerLine_->show();
    table_->resizeColumnToContents(nameColumn);
}

void EventWindow::setConnected(bool connected) {
    connected_ = connected;
    write_->setEnabled(connected && selectedFox().has_value());
}

void EventWindow::chooseSheet() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(sheetFilter);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    const QFileInfo event(path_);
    dialog.selectFile(event.absoluteDir().filePath(event.completeBaseName() + QStringLiteral(".pdf")));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveSheet(dialog.selectedFiles().constFirst());
}

bool EventWindow::saveSheet(const QString& path) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setResolution(150);
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setTitle(QFileInfo(path_).fileName());
    writer.setCreator(programName());
    QPainter painter;
    if (!painter.begin(&writer)) {
        showMessageBox(this,
                       QString::fromLatin1(EventWindowText::cannotWriteSheet) + QFileInfo(path).fileName());
        return false;
    }
    paintSheet(painter, QRectF(0, 0, writer.width(), writer.height()));
    return painter.end();
}

void EventWindow::paintSheet(QPainter& painter, const QRectF& page) {
    QFont title = painter.font();
    title.setPointSizeF(16);
    title.setBold(true);
    QFont body = title;
    body.setPointSizeF(10);
    body.setBold(false);
    QFont heading = body;
    heading.setBold(true);
    const qreal line = QFontMetricsF(body, painter.device()).height() * 1.35;
    qreal y = page.top();
    painter.setFont(title);
    painter.drawText(QRectF(page.left(), y, page.width(), line * 1.6), Qt::AlignLeft | Qt::AlignVCenter,
                     QFileInfo(path_).fileName());
    y += line * 1.6;
    painter.setFont(body);
    painter.drawText(QRectF(page.left(), y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                     QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat) +
                         QStringLiteral("    ") + text(timelineHeader(timeline_)));
    y += line * 1.5;

    // The table as the window shows it.
    const std::array<qreal, 5> widths{0.12, 0.08, 0.18, 0.2, 0.42};
    const auto row = [&](const QStringList& cells, const QFont& font) {
        painter.setFont(font);
        qreal x = page.left();
        for (int c = 0; c < cells.size(); ++c) {
            const qreal w = widths[static_cast<std::size_t>(c)] * page.width();
            painter.drawText(QRectF(x, y, w - 8, line), Qt::AlignLeft | Qt::AlignVCenter, cells[c]);
            x += w;
        }
        y += line;
        painter.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
    };
    row(columnTitles, heading);
    for (int r = 0; r < table_->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table_->columnCount(); ++c)
            cells << table_->item(r, c)->text();
        row(cells, body);
    }
    y += line;

    const QString conflicts = conflictLines(timeline_, event_.warnings);
    const qreal conflictHeight = conflicts.isEmpty() ? 0 : line * (conflicts.count(QLatin1Char('\n')) + 1.5);
    const qreal timelineHeight = std::min(page.bottom() - y - conflictHeight,
                                          line * (2.5 + 1.8 * static_cast<qreal>(timeline_.rows.size())));
    paintTimeline(painter, QRectF(page.left(), y, page.width(), timelineHeight), timeline_, body);
    y += timelineHeight + line * 0.5;
    painter.setFont(body);
    painter.setPen(errorColour);
    painter.drawText(QRectF(page.left(), y, page.width(), page.bottom() - y), Qt::AlignLeft | Qt::AlignTop,
                     conflicts);
}
