#include "app/bda_util_dlg.h"

namespace {

DialogTemplate MainWindowTemplate() {
    return DialogTemplate{CBDAUtilDlg::kIdd, "VLKArden Skarveld", 315, 415, {}};
}

}  // namespace

CBDAUtilDlg::CBDAUtilDlg(QWidget* parent) : CDialog(MainWindowTemplate(), parent) {}
