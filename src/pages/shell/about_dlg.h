#pragma once
// "About" (dialog 100): the program's icon, name and version.
#include "platform/ui/qt/dialog.h"

class CAboutDlg : public CDialog {
public:
    static constexpr int kIdd = 100;
    static constexpr int kIdVersion = 1050;

    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;

private:
    std::string m_strVersion;
};
