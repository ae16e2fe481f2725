#pragma once
// The part of the tuner graph that a recording runs through, made in g_BDAGraph as building the
// tuner graph makes it (the graph, the infinite pin tee, the sink), with a test's source in front
// of the tee in place of the card.
#include "graph/bda_graph.h"
#include "platform/com/co_create.h"
#include "platform/media/media_classes.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/record_file.h"

// A new graph, tee and sink in g_BDAGraph; nothing is connected yet.
inline void MakeRecordingGraph() {
    RegisterMediaClasses();
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL,
                     g_BDAGraph.m_pGraph.ReleaseAndGetAddressOf());
    g_BDAGraph.m_pGraph.As(&g_BDAGraph.m_pGraphControl);
    CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_ALL,
                     g_BDAGraph.m_pTeeFilter.ReleaseAndGetAddressOf());
    HRESULT hr = S_OK;
    g_BDAGraph.m_pSinkFilter = new CDestFilter(nullptr, &g_RecordLock, &hr);
    static_cast<IBaseFilter*>(g_BDAGraph.m_pSinkFilter)->AddRef();
}

// Adds `source`, the tee and the sink to the graph and connects source -> tee -> sink; true when
// the sink's input is connected.
inline bool ConnectSourceThroughTeeToSink(IBaseFilter* source) {
    IGraphBuilder* graph = g_BDAGraph.m_pGraph.Get();
    graph->AddFilter(source, L"source");
    graph->AddFilter(g_BDAGraph.m_pTeeFilter.Get(), L"Infinite pin tee splitter");
    graph->AddFilter(g_BDAGraph.m_pSinkFilter, L"Dest Filter");
    g_BDAGraph.ConnectPins(graph, source, g_BDAGraph.m_pTeeFilter.Get());
    g_BDAGraph.ConnectPins(graph, g_BDAGraph.m_pTeeFilter.Get(), g_BDAGraph.m_pSinkFilter);
    return g_BDAGraph.m_pSinkFilter->m_pInputPin->IsConnected();
}
