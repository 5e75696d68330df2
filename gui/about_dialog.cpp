#include "gui/about_dialog.h"

#include "gui/dialog_units.h"
#include "gui/program.h"
#include "ui_about_dialog.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>()) {
    ui_->setupUi(this);
    applyDialogUnits(*this);
    setWindowTitle(tr("About %1").arg(programName()));
    const QIcon icon = programIcon();
    setWindowIcon(icon);
    const int side = std::min(ui_->iconLabel->width(), ui_->iconLabel->height());
    ui_->iconLabel->setPixmap(icon.pixmap(side, side));
    connect(ui_->okButton, &QPushButton::clicked, this, &AboutDialog::accept);
}

AboutDialog::~AboutDialog() = default;
