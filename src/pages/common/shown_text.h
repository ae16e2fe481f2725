#pragma once
// A read-only box's text, refreshed: shown from its start (a long text is cut at its end, where
// it says least), and left alone when it is already shown, so a refresh a few times a second
// does not move a reader's selection.
#include <string>

class QLineEdit;
class QString;

void ShowText(QLineEdit* field, const QString& text);
void ShowText(QLineEdit* field, const std::string& text);
void ShowText(QLineEdit* field, const char* text);
