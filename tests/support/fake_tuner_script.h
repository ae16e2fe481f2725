#pragma once
// What the fake tuner of the network provider tests offers, and what it was told, in order.
#include <map>
#include <string>
#include <vector>

#include "platform/bda/tuning_interfaces.h"
#include "platform/com/error_info.h"

struct FakeTunerScript {
    // Every call that carries tuning, as "method value".
    std::vector<std::string> calls;
    // Methods that answer a failure instead of S_OK, and what such a failure leaves as the
    // thread's error description (a driver saying why).
    std::map<std::string, HRESULT> failures;
    std::map<std::string, std::string> failureDescriptions;
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
        if (failure == failures.end()) return S_OK;
        if (const auto why = failureDescriptions.find(method); why != failureDescriptions.end())
            com::SetErrorDescription(why->second);
        return failure->second;
    }
};
