#pragma once
// The tuner graph: network provider -> tuner -> capture -> infinite pin tee; the tee's first
// output -> MPEG-2 demultiplexer -> transport information filter; its second -> sink filter; its
// third -> stream tap (the live stream for the services list and the player).
// Each tuner session owns one (graph/tuner_session.h), built by the Tuner Setting page and
// released by it. Tuning, the driver operations, the signal monitor and recording use its
// members; none of them creates or connects filters.
#include <cstdint>
#include <mutex>
#include <string>

#include "graph/driver_report.h"
#include "graph/ks_control_handle.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"
#include "platform/media/media_interfaces.h"

class CDestFilter;
class CStreamTapFilter;
struct RecordState;
struct RecordStreamLoss;

// Result codes of BuildTunerGraph.
inline constexpr std::int32_t kBuildOk = 0;
inline constexpr std::int32_t kBuildProviderNotJoined = 6;
inline constexpr std::int32_t kBuildNoCapture = 7;
inline constexpr std::int32_t kBuildNoDemultiplexer = 8;
inline constexpr std::int32_t kBuildNoTee = 9;
inline constexpr std::int32_t kBuildNoTransportInformation = 10;

class CBDAGraph {
public:
    // The driver handle is released under `driverMutex`; the sink writes into `record`.
    CBDAGraph(std::recursive_mutex& driverMutex, RecordState& record);
    CBDAGraph(const CBDAGraph&) = delete;
    CBDAGraph& operator=(const CBDAGraph&) = delete;
    ~CBDAGraph();

    // Failures are added to `reports` in the order they arose; the build goes on where it
    // always did.
    std::int32_t BuildTunerGraph(std::int32_t deviceIndex, const std::string& deviceName,
                                 DriverReports& reports);
    std::int32_t UndoFailedBuild();
    void ReleaseTunerGraph();
    // The recording's part of the graph: whether there is a graph to run, running it, arming
    // the sink's pin (only ever from clear to set) and what the capture filter counted of
    // stream it could not deliver since it was made (zeros when it does not tell).
    bool CanRun() const { return static_cast<bool>(m_pGraphControl); }
    HRESULT RunGraph();
    void ArmSink();
    RecordStreamLoss ReadStreamLoss() const;
    // Stops the graph (if there is one). A write of the sink that waits for the reader of a
    // pipe is given up after a short grace, so the stop never waits on another program.
    void StopGraph();
    // Also sets m_bXModel.
    std::int32_t ClassifyTunerModel(const std::string& friendlyName);

    // Also sets m_pSpace.
    ComPtr<IBaseFilter> CreateDVBSNetworkProvider();
    ComPtr<ITuningSpace> ObtainTuningSpace();
    ComPtr<ITuningSpace> MakeTuningSpace();
    HRESULT CreateTunerDevice(IGraphBuilder* graph, std::int32_t index, ComPtr<IBaseFilter>& tuner);
    HRESULT CreateReceiverDevice(IGraphBuilder* graph, IBaseFilter* tuner,
                                 ComPtr<IBaseFilter>& capture);
    ComPtr<IBaseFilter> CreateMPEG2Demultiplexer();
    ComPtr<IBaseFilter> CreateInfinitePinTee();
    ComPtr<IBaseFilter> FindFilter(REFGUID category);
    HRESULT AddUnnamedFilter(IGraphBuilder* graph, IBaseFilter* filter);
    HRESULT JoinFilters(IGraphBuilder* graph, IBaseFilter* upstream, IBaseFilter* downstream);
    // A failure is added to `reports`.
    void ConnectPins(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to,
                     DriverReports& reports);

    ComPtr<IGraphBuilder> m_pGraph;
    ComPtr<IMediaControl> m_pGraphControl;
    ComPtr<IBaseFilter> m_pProvider;
    ComPtr<IBaseFilter> m_pTunerDevice;
    ComPtr<IBaseFilter> m_pReceiverDevice;
    ComPtr<IBaseFilter> m_pDemuxFilter;
    ComPtr<IBaseFilter> m_pTeeFilter;
    ComPtr<IBaseFilter> m_pInfoFilter;
    // Created and owned here; one reference is held on its filter interface.
    CDestFilter* m_pSinkFilter = nullptr;
    // Created beside the sink and released with the graph; consumers attach to it while it lives.
    ComPtr<CStreamTapFilter> m_pTapFilter;
    ComPtr<ITuningSpace> m_pSpace;
    // Filled by the Tuner Setting page; cleared only while the driver mutex is held.
    CKsControlHandle m_pKsCtrl;
    std::int32_t m_nTunerModel = 0;
    std::int32_t m_bXModel = 0;

private:
    void DestroySinkFilter();
    void ReleaseTapFilter();

    std::recursive_mutex& m_driverMutex;
    RecordState& m_record;
};
