#pragma once
// A filter for protocol tests: pins described by the test (name, direction, the types they
// offer and accept), every hook and state change written to a shared log, and a count of live
// filters so tests can see when one is destroyed.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBasePin;

// What the pins and filters did, in order, as "filter.pin.Hook" or "filter.Run".
class CProbeLog {
public:
    void Add(std::string event);
    std::vector<std::string> Take();
    // Only the events that contain `part`.
    std::vector<std::string> Filtered(const std::string& part) const;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_events;
};

struct ProbePinSetup {
    std::wstring name;
    PIN_DIRECTION dir = PINDIR_INPUT;
    std::vector<AM_MEDIA_TYPE> offered;   // GetMediaType, in order
    std::vector<AM_MEDIA_TYPE> accepted;  // CheckMediaType; empty: every type
    HRESULT completeConnectResult = S_OK;
    HRESULT inactiveResult = S_OK;
    HRESULT activeResult = S_OK;
};

class CProbeFilter : public CBaseFilter {
public:
    CProbeFilter(std::string name, CProbeLog* log, std::vector<ProbePinSetup> pins);
    ~CProbeFilter() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

    void Log(const std::string& event);
    const std::string& Name() const { return m_strName; }

    static int Live() { return s_nLive.load(); }

private:
    static std::atomic<int> s_nLive;
    CCritSec m_lock;
    std::string m_strName;
    CProbeLog* m_pLog;
    std::vector<std::unique_ptr<CBasePin>> m_pins;
};

namespace probe {
// A complete (not partial) type: major type, subtype and a format type.
AM_MEDIA_TYPE Type(const char* majorGuid, const char* subGuid);
extern const AM_MEDIA_TYPE kTypeA;
extern const AM_MEDIA_TYPE kTypeB;
extern const AM_MEDIA_TYPE kTypeC;
ProbePinSetup Input(std::wstring name, std::vector<AM_MEDIA_TYPE> offered = {},
                    std::vector<AM_MEDIA_TYPE> accepted = {});
ProbePinSetup Output(std::wstring name, std::vector<AM_MEDIA_TYPE> offered = {},
                     std::vector<AM_MEDIA_TYPE> accepted = {});
// Stops the filters and breaks both sides of every connection of their pins: connected filters
// hold each other, so filters that no graph tears down must be unplugged to be freed.
void Unplug(std::initializer_list<IBaseFilter*> filters);
}  // namespace probe
