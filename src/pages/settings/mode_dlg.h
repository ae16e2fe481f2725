#pragma once
// "Select Mode Code" (dialog 142): which DVB-S2 mode codes the demodulator passes. The choice
// is kept in VLK-IPdata.ini; OK builds the filter record that the caller sends to the driver.
#include <array>
#include <cstdint>
#include <string>

#include "platform/ks/vendor_records.h"
#include "platform/ui/qt/dialog.h"

class CModeDlg : public CDialog {
public:
    static constexpr int kIdd = 142;
    static constexpr int kIdAll = 1075;
    static constexpr std::size_t kModCodeCount = 28;

    // The box of each index, in the order of every loop, key and record entry; the mode code
    // sent for index i is i + 1.
    static constexpr std::array<int, kModCodeCount> kBoxIds{
        1010, 1068, 1069, 1070, 1071, 1072, 1073, 1074, 1076, 1077, 1078, 1079, 1080, 1081,
        1082, 1083, 1084, 1085, 1086, 1087, 1088, 1089, 1090, 1091, 1092, 1093, 1094, 1095};

    explicit CModeDlg(QWidget* parent = nullptr);

    // Valid after the dialog has closed with OK.
    ModCodeFilterRecord m_ModCodeFilter;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::int32_t m_nModCodeAll = 0;
    std::array<std::int32_t, kModCodeCount> m_nModCodeCheck{};

    void OnAll();
    bool IsBoxChecked(int id) const;
    void SetBoxChecked(int id, bool checked);
};
