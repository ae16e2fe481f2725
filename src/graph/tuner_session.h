#pragma once
// One opened tuner: everything the program keeps of it. Start reading here.
//
// A session owns the tuner's graph, the two vendor records of the driver conversation, the
// record state (file, path, open flag, lock), the driver mutex, the lock state and the count of
// tunes. Every operation on a tuner takes its session: tuning (graph/tuning.h), the driver
// conversation (graph/driver_control.h), the signal (graph/tuner_signal.h), recording
// (record/recording.h) and the status thread (status/). The three pages of the main window work
// on the process's default session; a command line or a second tuner makes sessions of its own.
//
// The pages never reach a member of the graph: what they need of it is asked of the session.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "platform/ks/vendor_records.h"
#include "sink/record_file.h"

class ITransportPacketConsumer;

class CTunerSession {
public:
    CTunerSession();
    CTunerSession(const CTunerSession&) = delete;
    CTunerSession& operator=(const CTunerSession&) = delete;
    ~CTunerSession();

    // The tuner chosen from the device list: its position in the tuner category's enumeration
    // and its friendly name as listed ("No Device" when the list was empty).
    void SelectDevice(std::int32_t index, std::string name);
    std::int32_t DeviceIndex() const { return m_nDeviceIndex; }
    const std::string& DeviceName() const { return m_strDeviceName; }

    // Builds the graph for the selected device, clearing first whatever an earlier build left;
    // what failed on the way is added to `reports`. Then TunerModel says whether the card is
    // supported.
    void BuildGraph(DriverReports& reports);
    // Releases the graph and the driver's handle.
    void ReleaseGraph();
    // Ends the use of the tuner: the graph released, the record file closed, the device, the
    // model, the lock state and the records forgotten. The session can select a tuner again.
    void CloseTuner();
    // The graph's tuner filter; null without a graph.
    ComPtr<IBaseFilter> TunerFilter() const { return m_BDAGraph.m_pTunerDevice; }

    // Model code of the built graph's tuner (0: not a supported card) and whether it reports
    // the extended MODCOD table.
    std::int32_t TunerModel() const { return m_BDAGraph.m_nTunerModel; }
    bool IsExtendedModel() const { return m_BDAGraph.m_bXModel == 1; }
    // A graph is built and can be tuned.
    bool HasGraph() const;
    // The driver's property handle was acquired.
    bool HasDriverControl() const;

    // Consumers of the live stream (services list, player feed): attached while the graph
    // lives; false, and nothing attached, when there is no graph.
    bool HasStreamTap() const;
    bool AddStreamConsumer(const std::shared_ptr<ITransportPacketConsumer>& consumer);
    void RemoveStreamConsumer(const std::shared_ptr<ITransportPacketConsumer>& consumer);

    // Runs `reads` with the driver held, so that no other reader comes between its calls (the
    // card names one input stream a report, in turn, to every reader).
    template <typename Reads>
    auto WithDriverHeld(Reads reads) {
        std::lock_guard driver(m_hDriverMutex);
        return reads();
    }

    // Whether the status thread saw the carrier locked at its last reading.
    bool IsSignalLocked() const { return m_bSignalLocked.load(std::memory_order_acquire) != 0; }

    // What the last tune that reached the driver asked for, as lists find it again: whole MHz
    // and the polarity index, and the switch port it chose (the page's index, 0: no switch
    // message). None before the first. Any thread.
    struct TunedCarrier {
        std::int32_t frequencyMHz = 0;
        std::int32_t polarityIndex = 0;
        std::int32_t diseqcPortIndex = 0;
        bool operator==(const TunedCarrier&) const = default;
    };
    std::optional<TunedCarrier> LastTuned() const {
        const std::lock_guard lock(m_lastTunedLock);
        return m_lastTuned;
    }
    void NoteTuned(TunedCarrier carrier) {
        const std::lock_guard lock(m_lastTunedLock);
        m_lastTuned = carrier;
    }

    // Every call on the tuner driver, from any thread, is made while holding it; recursive for
    // its owner. Declared first: the graph releases the driver's handle under it.
    std::recursive_mutex m_hDriverMutex;
    RecordState m_Record;
    CBDAGraph m_BDAGraph;
    TunerControlRecord m_TunerControlRecord;
    MediaInfoRecord m_MediaInfoRecord;
    // 1 while the status thread's last reading showed lock.
    std::atomic<std::int32_t> m_bSignalLocked{0};
    // Tunes sent so far: a report read before a tune is older than one read after it.
    std::atomic<std::uint64_t> m_nTunes{0};
    // Set and cleared on the UI thread, under the driver mutex.
    DiseqcSentListener m_DiseqcSentListener;

private:
    mutable std::mutex m_lastTunedLock;
    std::optional<TunedCarrier> m_lastTuned;
    std::int32_t m_nDeviceIndex = -1;
    std::string m_strDeviceName;
};

// The session of the tuner the main window's pages work on; lives as long as the process.
CTunerSession& DefaultTunerSession();
