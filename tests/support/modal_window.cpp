#include "support/modal_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>

bool WithModalWindow(const std::function<void()>& open, const std::function<void(QWidget&)>& work) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        seen = true;
        work(*modal);
    });
    open();
    return seen;
}

void AnswerFileDialog(QWidget& modal, const std::optional<std::string>& path) {
    auto* dialog = qobject_cast<QFileDialog*>(&modal);
    ASSERT_NE(dialog, nullptr) << "not a file dialog";
    if (!path) {
        dialog->reject();
        return;
    }
    dialog->selectFile(QString::fromStdString(*path));
    static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept
}
