#pragma once
// Answers the next modal file dialog as a user would, once the event loop runs (the dialog's own
// loop): chooses `path`, or cancels without one.
#include <memory>
#include <optional>
#include <string>

class QObject;

// True in the returned flag once a file dialog was answered; `context` ends the wait for one.
std::shared_ptr<bool> AnswerNextFileDialog(QObject* context, std::optional<std::string> path);
