#pragma once
// What a capture filter tells about the stream it could not deliver: how often the card's stream
// buffer overran (its reader did not keep up, so the card dropped data) and how many bytes went
// with it. Both count from the filter's creation; a caller takes the difference over the span it
// cares about (a recording). A card that cannot lose data while the graph runs answers zeros.
#include <cstdint>

#include "platform/com/unknown.h"

struct IStreamLossStatistics : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{3D8E4B21-6C0A-4F5E-9B7D-2A1C5E0F7B63}");
    // `bytesLost` is an estimate from below: a card that cannot tell exactly what an overrun
    // dropped counts what it must at least have dropped. Any thread.
    virtual HRESULT GetStreamLoss(std::uint64_t* overruns, std::uint64_t* bytesLost) = 0;

protected:
    ~IStreamLossStatistics() = default;
};
