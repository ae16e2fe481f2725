#pragma once
// Fake cards for tests of the tuner graph: each card publishes a tuner (antenna input "Input0",
// transport output of the card's own type), and a receiver (taking that type, offering a
// transport stream); transport-information devices bind to the platform's class. The graph is
// built in a session of the environment's own.
#include <optional>
#include <string>
#include <vector>

#include "graph/tuner_session.h"
#include "platform/com/com_ptr.h"
#include "platform/devices/device_registry.h"
#include "support/fake_devices.h"
#include "support/fake_filter.h"

class CGraphTestEnvironment {
public:
    CGraphTestEnvironment();
    ~CGraphTestEnvironment();

    // A tuner whose filter has pins "Input0" (antenna) and "Transport" (card `card`'s type).
    void PublishTuner(const std::wstring& name, int card);
    // A receiver taking card `card`'s type.
    void PublishReceiver(int card);
    void PublishTransportInformation();
    // Everything for one card.
    void PublishCard(const std::wstring& name, int card);

    // The filters created for the devices, in creation order.
    const std::vector<ComPtr<CFakeFilter>>& Tuners() const { return m_tuners; }
    const std::vector<ComPtr<CFakeFilter>>& Receivers() const { return m_receivers; }

    const CShellTestEnvironment& Shell() const { return m_shell; }
    CTunerSession& Session() { return m_session; }
    CBDAGraph& Graph() { return m_session.m_BDAGraph; }

private:
    CShellTestEnvironment m_shell;
    CDevicePublication m_devices;
    std::vector<ComPtr<CFakeFilter>> m_tuners;
    std::vector<ComPtr<CFakeFilter>> m_receivers;
    // Last: whatever a test left in the graph goes before the devices and the shell.
    CTunerSession m_session;
};
