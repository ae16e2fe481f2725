#include "support/file_dialog_answer.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QTimer>

std::shared_ptr<bool> AnswerNextFileDialog(QObject* context, std::optional<std::string> path) {
    auto answered = std::make_shared<bool>(false);
    QTimer::singleShot(0, context, [answered, path = std::move(path)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        *answered = true;
        if (!path) {
            dialog->reject();
            return;
        }
        dialog->selectFile(QString::fromStdString(*path));
        static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept
    });
    return answered;
}
