#pragma once
// Faults that tests inject into one simulated card. Every setting stays until Clear().
//
//   MakeUnsupported(set, id)      QuerySupported, Get and Set answer E_PROP_ID_UNSUPPORTED
//   SetResult(set, id, op, hr)    that operation returns hr; a failure code does nothing, a
//                                 success code (S_FALSE, ...) acts as usual and returns hr
//   Refuse(interface)             QueryInterface for it answers E_NOINTERFACE
//   FailStatistics(hr)            every IBDA_SignalStatistics read returns hr
//   FailCommit(hr)                IBDA_DeviceControl::CommitChanges returns hr without tuning
//   DuringCommit(action)          every CommitChanges runs action first, on the tuning thread and
//                                 with no lock of the card held: a tune as slow as action makes it
//
// Faults of the transport stream the card delivers, from the next packet it produces on (the
// stream keeps its rate: what is taken out becomes null packets):
//   LosePackets(pid, n)           n packets of the PID with a payload are lost, every other one
//                                 from the next, so that each is a break of its own
//   StopPid(pid)                  the PID is not sent any more
//   JumpPcr(pid, ms)              the PID's PCRs jump by ms, without the discontinuity flag
//   CorruptPackets(n)             the next n packets carry the transport error indicator
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

#include "platform/com/guid.h"
#include "platform/com/win_types.h"

class CSimFaults {
public:
    enum class Operation { Query, Get, Set };
    enum class Interface {
        FilterPropertySet,  // IKsPropertySet on the tuner filter
        PinPropertySet,     // IKsPropertySet on the tuner's "Input0" pin
        Topology,           // IBDA_Topology on the tuner filter
        DeviceControl,      // IBDA_DeviceControl on the tuner filter
        SignalStatistics,   // IBDA_SignalStatistics on the tuner node
    };

    void MakeUnsupported(const GUID& set, DWORD id);
    void SetResult(const GUID& set, DWORD id, Operation operation, HRESULT result);
    void Refuse(Interface which);
    void FailStatistics(HRESULT result);
    void FailCommit(HRESULT result);
    void DuringCommit(std::function<void()> action);
    void LosePackets(std::uint16_t pid, int count);
    void StopPid(std::uint16_t pid);
    void JumpPcr(std::uint16_t pid, std::int64_t milliseconds);
    void CorruptPackets(int count);
    void Clear();

    // The stream faults applied to `count` whole packets about to be delivered.
    void ApplyToStream(std::uint8_t* packets, std::size_t count);

    bool IsUnsupported(const GUID& set, DWORD id) const;
    std::optional<HRESULT> ResultFor(const GUID& set, DWORD id, Operation operation) const;
    bool IsRefused(Interface which) const;
    std::optional<HRESULT> StatisticsFailure() const;
    std::optional<HRESULT> CommitFailure() const;
    std::function<void()> CommitAction() const;

private:
    mutable std::mutex m_lock;
    std::set<std::tuple<GUID, DWORD>> m_unsupported;
    std::map<std::tuple<GUID, DWORD, Operation>, HRESULT> m_results;
    std::set<Interface> m_refused;
    std::optional<HRESULT> m_statistics;
    std::optional<HRESULT> m_commit;
    std::function<void()> m_commitAction;
    struct Losing {
        int left = 0;
        bool passNext = false;  // the packet after a lost one passes
    };
    std::map<std::uint16_t, Losing> m_lose;
    std::set<std::uint16_t> m_stopped;
    std::map<std::uint16_t, std::uint64_t> m_pcrOffset;  // 27 MHz ticks
    int m_nCorrupt = 0;
};
