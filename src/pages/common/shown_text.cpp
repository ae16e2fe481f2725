#include "pages/common/shown_text.h"

#include <QLineEdit>
#include <QString>

void ShowText(QLineEdit* field, const QString& text) {
    if (field->text() == text) return;
    field->setText(text);
    field->setCursorPosition(0);
}

void ShowText(QLineEdit* field, const std::string& text) {
    ShowText(field, QString::fromStdString(text));
}

void ShowText(QLineEdit* field, const char* text) {
    ShowText(field, QString::fromUtf8(text));
}
