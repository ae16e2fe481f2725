#pragma once
// "VLK Record : Select device" (dialog 140): the user chooses one installed tuner.
#include "platform/ui/qt/dialog.h"

class QListWidget;

class CDeviceList : public CDialog {
public:
    static constexpr int kIdd = 140;
    static constexpr int kIdDeviceList = 1022;

    explicit CDeviceList(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    // Takes the selected line, if there is one, as the chosen device.
    void OnOK() override;

private:
    QListWidget* m_pList;
};
