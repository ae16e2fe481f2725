#pragma once
// One fake card for the Tuner Setting page: a tunable tuner with the driver's property set on
// its "Input0" pin (PCI-E carrier) or on the filter (USB carrier), a receiver and a transport
// information device, published as enumeration position 0 and chosen as the device. The
// program folder, "drive C" and the configuration folder are a temporary folder; message boxes
// are recorded.
#include <memory>
#include <string>
#include <vector>

#include "pages/settings/tunable_tuner_filter.h"
#include "platform/com/com_ptr.h"
#include "platform/devices/device_registry.h"
#include "support/fake_devices.h"
#include "support/fake_ks_property_set.h"
#include "support/fake_tuner_script.h"
#include "support/message_box_recorder.h"

enum class CardCarrier {
    PciE,      // property set on the "Input0" pin
    Usb,       // property set on the filter
    NoInput0,  // the antenna pin has another name: no driver handle, no message
    Refusing,  // the filter refuses IKsPropertySet: the handle cannot be taken
};

class CTunerCardEnvironment {
public:
    CTunerCardEnvironment();
    ~CTunerCardEnvironment();

    // Publishes the card and selects it in the default session (position 0, `name`).
    void PublishCard(const std::string& name, CardCarrier carrier);

    CFakeKsPropertySet& Driver() { return *m_pDriver; }
    FakeTunerScript& Script() const { return *m_pScript; }
    CMessageBoxRecorder& Boxes() { return m_boxes; }
    const CTempFolder& Folder() const { return m_shell.Folder(); }
    std::string File(const std::string& name) const { return m_shell.Folder().File(name); }

    // Signal statistics that every tuner filter made from now on answers on its tuner node.
    void SetSignalStatistics(IUnknown* statistics) { m_pSignal = statistics; }

    // Only the Set calls of one property.
    std::vector<CFakeKsPropertySet::Call> SetsOf(REFGUID set, DWORD id) const;

private:
    CShellTestEnvironment m_shell;
    CMessageBoxRecorder m_boxes;
    CDevicePublication m_devices;
    std::shared_ptr<FakeTunerScript> m_pScript = std::make_shared<FakeTunerScript>();
    ComPtr<CFakeKsPropertySet> m_pDriver;
    ComPtr<IUnknown> m_pSignal;
};
