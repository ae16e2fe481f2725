#pragma once
// The size a user gave a resizable window, kept in the Transponders page's settings file, so the
// window opens at it again; never smaller than the window's minimum nor larger than the screen.
#include <QSize>
#include <string>

class QWidget;

namespace window_size {

// The size kept under `section`, or `fallback` when none is; then resizes the window to it.
void Restore(QWidget* window, const std::string& section, QSize fallback = {});
// Keeps a window's size under `section` when it is not the one kept already; a failed save is
// told on behalf of `from`.
void Keep(QWidget* from, QSize size, const std::string& section);

}  // namespace window_size
