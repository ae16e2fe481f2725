#pragma once
// How the pages save a setting and tell a save that failed. Every failure goes to the debugger
// output; the first one under a window is also told in a message box (what, where, why and what
// to do), as a page saves nine keys at every "Lock TP" and one box says it all. The window is the
// outermost widget above the page: the main window, whose life is the program's run, so its
// pages and their dialogs share its one box.
#include <string>

class QWidget;

// Writes the value as WriteSettingsString does and tells a failure as above on behalf of `from`;
// false when it failed.
bool SaveSetting(QWidget* from, const std::string& path, const std::string& section,
                 const std::string& key, const std::string& value);
