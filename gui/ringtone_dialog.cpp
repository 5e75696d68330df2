#include "gui/ringtone_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>

#include "gui/audio_output.h"
#include "gui/dialog_units.h"
#include "gui/file_dialog.h"
#include "gui/program.h"
#include "ui_ringtone_dialog.h"

namespace {

constexpr const char* fileFilter = "Ringtone Files (*.rtt)|*.rtt|All Files (*.*)|*.*||";
constexpr const char* defaultExtension = "rtt";

QString fromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The operator's input that the preview holds back: the dialog does not react until the
// melody has played, but for Escape.
bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

RingtoneDialog::RingtoneDialog(const std::string& filePath, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::RingtoneDialog>()), model_(*this, filePath),
      audio_(std::make_unique<AudioOutput>()) {
    ui_->setupUi(this);
    applyDialogUnits(*this);
    ui_->beatsPerMinuteEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));

    connect(ui_->loadFileButton, &QPushButton::clicked, this, &RingtoneDialog::loadFileClicked);
    connect(ui_->previewButton, &QPushButton::clicked, this, [this] { model_.previewRingtone(); });
    for (QPushButton* button : {ui_->compactButton, ui_->shiftUpButton, ui_->shiftDownButton})
        connect(button, &QPushButton::clicked, this, [this] { model_.notImplemented(); });
    connect(ui_->sendButton, &QPushButton::clicked, this, &RingtoneDialog::accept);
    connect(ui_->closeButton, &QPushButton::clicked, this, &RingtoneDialog::reject);
    model_.showForm();
}

RingtoneDialog::~RingtoneDialog() = default;

void RingtoneDialog::accept() {
    if (model_.accept()) QDialog::accept();
}

void RingtoneDialog::reject() {
    if (previewing_) {
        stopTones();
        return;
    }
    QDialog::reject();
}

void RingtoneDialog::loadFileClicked() {
    if (const auto path =
            chooseFile(this, FileDialogMode::open, fileFilter, defaultExtension, model_.filePath))
        model_.loadRingtoneFile(path->toStdString());
}

bool RingtoneDialog::eventFilter(QObject* watched, QEvent* event) {
    if (!previewing_) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        stopTones();
        return true;
    }
    // The close box ends the preview, as Escape does; the dialog stays.
    if (event->type() == QEvent::Close && watched == this) {
        stopTones();
        event->ignore();
        return true;
    }
    if (isUserInput(event->type())) return true;
    return QDialog::eventFilter(watched, event);
}

void RingtoneDialog::playPreview(const std::vector<PlayedTone>& tones) {
    // The melody plays to its end before the dialog takes input again, but the window
    // keeps repainting and Escape ends the preview early.
    const QScopedValueRollback<bool> previewing(previewing_, true);
    qApp->installEventFilter(this);
    playTones(tones);
    // Keys pressed while the melody played were meant for the preview: an Escape still on
    // its way must not close the dialog, and the next one the main window, once it is over.
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
}

void RingtoneDialog::playTones(const std::vector<PlayedTone>& tones) {
    audio_->play(tones);
}

void RingtoneDialog::stopTones() {
    audio_->fadeOut();
}

// RingtoneForm

QWidget* RingtoneDialog::controlOf(RingtoneField field) const {
    switch (field) {
    case RingtoneField::rtttlText:
        return ui_->rtttlTextEdit;
    case RingtoneField::defaultOctave:
        return ui_->defaultOctaveEdit;
    case RingtoneField::defaultDuration:
        return ui_->defaultDurationEdit;
    case RingtoneField::beatsPerMinute:
        return ui_->beatsPerMinuteEdit;
    case RingtoneField::notesDefined:
        return ui_->notesDefinedEdit;
    case RingtoneField::eeDataSize:
        return ui_->eeDataSizeEdit;
    case RingtoneField::staccato:
        return ui_->staccatoCheck;
    }
    return nullptr;
}

std::string RingtoneDialog::controlText(RingtoneField field) {
    if (field == RingtoneField::staccato) return ui_->staccatoCheck->isChecked() ? "1" : "0";
    return static_cast<QLineEdit*>(controlOf(field))->text().toStdString();
}

void RingtoneDialog::setControlText(RingtoneField field, const std::string& text) {
    if (field == RingtoneField::staccato) {
        ui_->staccatoCheck->setChecked(text != "0");
        return;
    }
    auto* edit = static_cast<QLineEdit*>(controlOf(field));
    edit->setText(fromStd(text));
    // A long melody is read from its start.
    edit->setCursorPosition(0);
}

void RingtoneDialog::reportFormFailure(RingtoneField field, std::string_view message) {
    showMessage(message);
    QWidget* control = controlOf(field);
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}

void RingtoneDialog::showMessage(std::string_view text) {
    showMessageBox(this, fromStd(text));
}
