#pragma once
// Modal windows met as a user meets them: whatever `open` brings up is handed to the test inside
// its own modal loop, and a file dialog is answered by choosing a file or cancelling.
#include <functional>
#include <optional>
#include <string>

class QWidget;

// Runs `work` on the modal window that `open` brings up, once its loop runs; false when `open`
// brought none. `work` must close the window.
bool WithModalWindow(const std::function<void()>& open, const std::function<void(QWidget&)>& work);
// Answers a file dialog: chooses `path`, or cancels without one. Fails the test for any other
// window.
void AnswerFileDialog(QWidget& modal, const std::optional<std::string>& path);
