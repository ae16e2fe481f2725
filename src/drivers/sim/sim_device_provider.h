#pragma once
// Publishes the simulated cards into the device registry for as long as it lives.
#include "platform/devices/device_registry.h"

class CSimDeviceProvider {
public:
    CSimDeviceProvider();

private:
    CDevicePublication m_publication;
};
