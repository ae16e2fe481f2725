#include "pages/shell/device_list.h"

#include <QListWidget>

#include "core/device_get_list.h"
#include "graph/tuner_session.h"
#include "platform/win/debug_output.h"

namespace {

DialogTemplate DeviceListTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    return DialogTemplate{CDeviceList::kIdd,
                          "VLK Record : Select device",
                          230,
                          124,
                          {
                              {kStaticId, Label, "Device:", 7, 7, 0, 0},
                              {CDeviceList::kIdDeviceList,
                               ListBox,
                               "",
                               7,
                               18,
                               216,
                               78,
                               kBorder | kVerticalScroll,
                               {},
                               "Device:"},
                              {IDOK, DefaultPushButton, "OK", 119, 103, 50, 14},
                              {IDCANCEL, PushButton, "Cancel", 173, 103, 50, 14},
                          }};
}

}  // namespace

CDeviceList::CDeviceList(QWidget* parent)
    : CDialog(DeviceListTemplate(), parent), m_pList(Item<QListWidget>(kIdDeviceList)) {
    connect(m_pList, &QListWidget::itemDoubleClicked, this, [this] { OnOK(); });
}

bool CDeviceList::OnInitDialog() {
    DeviceList list;
    DeviceGetList(list);
    m_pList->clear();
    int inserted = 0;
    for (int i = 0; i < list.count; ++i) {
        const char* name = list.names[static_cast<std::size_t>(i)].data();
        OutputDebugStringA(name);
        // By position, so that line i is enumeration position i.
        m_pList->insertItem(i, QString::fromUtf8(name));
        ++inserted;
    }
    if (inserted > 0) {
        m_pList->setCurrentRow(0);
        m_pList->setFocus();
    } else {
        CTunerSession& session = DefaultTunerSession();
        session.SelectDevice(session.DeviceIndex(), "No Device");
    }
    return true;
}

void CDeviceList::OnOK() {
    const int selected = m_pList->currentRow();
    if (selected >= 0 && m_pList->item(selected)->isSelected()) {
        DefaultTunerSession().SelectDevice(selected, m_pList->item(selected)->text().toStdString());
    }
    EndDialog(IDOK);
}
