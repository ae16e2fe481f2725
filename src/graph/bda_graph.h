#pragma once
// The tuner graph: network provider -> tuner -> capture -> infinite pin tee; the tee's first
// output -> MPEG-2 demultiplexer -> transport information filter; its second -> sink filter; its
// third -> stream tap (the live stream for the services list and the player).
// One process-wide instance, g_BDAGraph, built by the Tuner Setting page and released by it.
// Tuning, the driver operations, the signal monitor and recording use its members; none of
// them creates or connects filters.
#include <cstdint>
#include <string>

#include "graph/ks_control_handle.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"
#include "platform/media/media_interfaces.h"
#include "platform/ui/window_handle.h"

class CDestFilter;
class CStreamTapFilter;

// Result codes of BuildTunerGraph.
inline constexpr std::int32_t kBuildOk = 0;
inline constexpr std::int32_t kBuildProviderNotJoined = 6;
inline constexpr std::int32_t kBuildNoCapture = 7;
inline constexpr std::int32_t kBuildNoDemultiplexer = 8;
inline constexpr std::int32_t kBuildNoTee = 9;
inline constexpr std::int32_t kBuildNoTransportInformation = 10;

class CBDAGraph {
public:
    CBDAGraph() = default;
    CBDAGraph(const CBDAGraph&) = delete;
    CBDAGraph& operator=(const CBDAGraph&) = delete;
    ~CBDAGraph();

    std::int32_t BuildTunerGraph(std::int32_t deviceIndex, HWND owner);
    std::int32_t UndoFailedBuild();
    void ReleaseTunerGraph();
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
    void ConnectPins(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to);

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
};

extern CBDAGraph g_BDAGraph;
