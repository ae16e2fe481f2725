#pragma once
// What the fake tuner of the network provider tests offers, and what it was told, in order.
#include <map>
#include <string>
#include <vector>

#include "platform/bda/tuning_interfaces.h"

struct FakeTunerScript {
    // Every call that carries tuning, as "method value".
    std::vector<std::string> calls;
    // Methods that answer a failure instead of S_OK.
    std::map<std::string, HRESULT> failures;
    // The network type whose antenna the tuner's input takes.
    CLSID acceptedNetworkType = CLSID_DVBSNetworkProvider;
    bool bTopology = true;
    bool bDeviceControl = true;
    bool bTunerNode = true;
    bool bDemodulatorNode = true;
    bool bFrequencyFilter = true;
    bool bLNBInfo = true;
    bool bDemodulator = true;

    HRESULT Call(const std::string& method, const std::string& value = {}) {
        calls.push_back(value.empty() ? method : method + " " + value);
        const auto failure = failures.find(method);
        return failure == failures.end() ? S_OK : failure->second;
    }
};
