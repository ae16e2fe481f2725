#pragma once
// The main window (dialog 102).
#include "platform/ui/qt/dialog.h"

class CBDAUtilDlg : public CDialog {
public:
    static constexpr int kIdd = 102;

    explicit CBDAUtilDlg(QWidget* parent = nullptr);
};
