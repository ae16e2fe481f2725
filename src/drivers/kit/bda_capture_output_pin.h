#pragma once
// A card's capture filter output "Transport Stream": offers and takes media::TransportStreamType()
// and streams, as a live source (only while the filter runs), samples of whole 188-byte packets
// from a pool of its own. Each driver fills the streaming hooks of CSourceStreamPin with how
// its card produces the stream.
#include <cstddef>

#include "platform/media/source_stream_pin.h"

class CBdaCaptureOutputPin : public CSourceStreamPin {
public:
    static constexpr const wchar_t* kName = L"Transport Stream";
    static constexpr std::size_t kPacketBytes = 188;
    static constexpr std::size_t kSamplePackets = 348;
    static constexpr LONG kSampleBytes = 348 * 188;
    static constexpr std::size_t kPoolSamples = 8;

    // `objectName` names the pin in diagnostics.
    CBdaCaptureOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
};
