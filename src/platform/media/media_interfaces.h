#pragma once
// The media graph's interfaces: filters with pins, connected by negotiating a media type, and
// media samples pushed from output pins into input pins by a streaming thread.
// Types that Windows hands out through task memory (PIN_INFO's filter, media type format
// blocks) are owning C++ values here.
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/unknown.h"

struct AM_MEDIA_TYPE {
    GUID majortype = GUID_NULL;
    GUID subtype = GUID_NULL;
    BOOL bFixedSizeSamples = FALSE;
    BOOL bTemporalCompression = FALSE;
    ULONG lSampleSize = 0;
    GUID formattype = GUID_NULL;
    std::vector<BYTE> format;  // the format block; cbFormat is its size

    friend bool operator==(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE&) = default;
};

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

struct IBaseFilter;
struct IFilterGraph;
struct IEnumMediaTypes;

struct PIN_INFO {
    ComPtr<IBaseFilter> pFilter;
    PIN_DIRECTION dir = PINDIR_INPUT;
    std::wstring achName;
};

struct FILTER_INFO {
    std::wstring achName;
    ComPtr<IFilterGraph> pGraph;
};

struct IPin : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
    // Output pins: negotiates a type with `receivePin` (pmt null or partial: any acceptable one).
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) = 0;
    // Input pins: accepts or refuses the connection that `connector` offers with `pmt`.
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT Disconnect() = 0;
    // VFW_E_NOT_CONNECTED and null when the pin is free.
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryId(std::wstring* id) = 0;
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

protected:
    ~IPin() = default;
};

struct IEnumPins : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumPins() = default;
};

struct IEnumMediaTypes : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
    // Fills `types` with up to `count` types.
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE* types, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumMediaTypes() = default;
};

struct IPersist : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{0000010C-0000-0000-C000-000000000046}");
    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};

struct IMediaFilter : IPersist {
    static constexpr IID kIid = com::MakeGuid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
    static constexpr IID kIid = com::MakeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT EnumPins(IEnumPins** enumerator) = 0;
    virtual HRESULT FindPin(const wchar_t* id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const wchar_t* name) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IMediaSample : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    virtual LONG GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(LONG length) = 0;

protected:
    ~IMediaSample() = default;
};

struct IMemInputPin : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
    // S_OK when Receive may block, S_FALSE when it never does.
    virtual HRESULT ReceiveCanBlock() = 0;

protected:
    ~IMemInputPin() = default;
};

struct IQualityControl : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A868A5-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Notify(IBaseFilter* self, long quality) = 0;
    virtual HRESULT SetSink(IQualityControl* sink) = 0;

protected:
    ~IQualityControl() = default;
};

struct IEnumFilters : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
    // A null or empty name lets the graph choose one.
    virtual HRESULT AddFilter(IBaseFilter* filter, const wchar_t* name) = 0;
    // Disconnects the filter's pins and takes it out of the graph.
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** enumerator) = 0;
    virtual HRESULT FindFilterByName(const wchar_t* name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* pmt) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;

protected:
    ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
    static constexpr IID kIid = com::MakeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
    // Intelligent connect: negotiates a media type between the two pins, or fails.
    virtual HRESULT Connect(IPin* output, IPin* input) = 0;

protected:
    ~IGraphBuilder() = default;
};

using OAFilterState = LONG;

struct IMediaControl : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    // Returns when no streaming thread will deliver another sample.
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG milliseconds, OAFilterState* state) = 0;

protected:
    ~IMediaControl() = default;
};

inline constexpr IID IID_IBaseFilter = IBaseFilter::kIid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::kIid;
inline constexpr IID IID_IMediaControl = IMediaControl::kIid;
inline constexpr IID IID_IPin = IPin::kIid;

inline constexpr CLSID CLSID_FilterGraph = com::MakeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
inline constexpr CLSID CLSID_MPEG2Demultiplexer =
    com::MakeGuid("{AFB6C280-2C41-11D3-8A60-0000F81E0E4A}");
inline constexpr CLSID CLSID_InfTee = com::MakeGuid("{F8388A40-D2BB-11D0-BE5A-0080C706568E}");

inline constexpr GUID MEDIATYPE_Stream = com::MakeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_TRANSPORT =
    com::MakeGuid("{E06D8023-DB46-11CF-B4D1-00805F6CBBEA}");

// The transport information filter (the BDA MPEG-2 sections and tables stand-in).
inline constexpr CLSID CLSID_TransportInformationFilter =
    com::MakeGuid("{FC772AB0-0C7F-11D3-8FF2-00A0C9224CF4}");

inline constexpr IID IID_IMemInputPin = IMemInputPin::kIid;
inline constexpr IID IID_IMediaFilter = IMediaFilter::kIid;
inline constexpr IID IID_IPersist = IPersist::kIid;
inline constexpr IID IID_IFilterGraph = IFilterGraph::kIid;

// Result codes of the media graph that the shared list does not carry (Windows values).
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHresult(0x80040216);
