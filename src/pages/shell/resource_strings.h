#pragma once
// The string table of the program's resources.

// String 101: the About item of the main window's system menu (its context menu here).
constexpr const char* kAboutMenuText = "&About VLK Skarveld Tool.";
