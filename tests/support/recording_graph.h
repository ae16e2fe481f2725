#pragma once
// The part of a tuner session's graph that a recording runs through, made as building the tuner
// graph makes it (the graph, the infinite pin tee, the sink on the session's record state), with
// a test's source in front of the tee in place of the card.
#include "graph/driver_report.h"
#include "graph/tuner_session.h"
#include "platform/com/co_create.h"
#include "platform/media/media_classes.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"

// A new graph, tee and sink in the session's graph; nothing is connected yet.
inline void MakeRecordingGraph(CTunerSession& session) {
    CBDAGraph& graph = session.m_BDAGraph;
    RegisterMediaClasses();
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL,
                     graph.m_pGraph.ReleaseAndGetAddressOf());
    graph.m_pGraph.As(&graph.m_pGraphControl);
    CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_ALL,
                     graph.m_pTeeFilter.ReleaseAndGetAddressOf());
    HRESULT hr = S_OK;
    graph.m_pSinkFilter = new CDestFilter(nullptr, &session.m_Record, &hr);
    static_cast<IBaseFilter*>(graph.m_pSinkFilter)->AddRef();
}

// Adds `source`, the tee and the sink to the session's graph and connects source -> tee -> sink;
// true when the sink's input is connected and the connecting reported nothing.
inline bool ConnectSourceThroughTeeToSink(CTunerSession& session, IBaseFilter* source) {
    CBDAGraph& graph = session.m_BDAGraph;
    IGraphBuilder* builder = graph.m_pGraph.Get();
    builder->AddFilter(source, L"source");
    builder->AddFilter(graph.m_pTeeFilter.Get(), L"Infinite pin tee splitter");
    builder->AddFilter(graph.m_pSinkFilter, L"Dest Filter");
    DriverReports reports;
    graph.ConnectPins(builder, source, graph.m_pTeeFilter.Get(), reports);
    graph.ConnectPins(builder, graph.m_pTeeFilter.Get(), graph.m_pSinkFilter, reports);
    return reports.empty() && graph.m_pSinkFilter->m_pInputPin->IsConnected();
}
