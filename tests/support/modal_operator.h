#pragma once
// For the window tests: the operator at the modal windows.

#include <functional>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// The operator at the modal windows: every message box is recorded and answered with its
// one button; other modal dialogs go to onDialog.
class ModalOperator : public QObject {
public:
    struct Box {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
        qsizetype buttonCount;
    };

    ModalOperator() {
        connect(&poll_, &QTimer::timeout, this, &ModalOperator::answer);
        poll_.start(5);
    }

    QStringList texts() const {
        QStringList all;
        for (const Box& box : boxes)
            all << box.text;
        return all;
    }

    std::vector<Box> boxes;
    std::function<void(QDialog&)> onDialog;

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->buttons().size()});
            box->buttons().front()->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && onDialog) {
            onDialog(*dialog);
        }
    }

    QTimer poll_;
};
