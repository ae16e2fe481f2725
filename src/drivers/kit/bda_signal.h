#pragma once
// The signal statistics a tuner node reports, and the card behind the node that measures them.
#include "platform/com/hresult.h"
#include "platform/com/win_types.h"

struct BdaSignal {
    bool locked = false;
    bool present = false;
    LONG strength = 0;  // 0..100
    LONG quality = 0;   // 0..100
};

class IBdaSignalSource {
public:
    // S_OK with the statistics of this moment, or why they cannot be read.
    virtual HRESULT ReadSignal(BdaSignal* signal) = 0;
    // False when the tuner has no IBDA_SignalStatistics to offer.
    virtual bool OffersSignalStatistics() const { return true; }

protected:
    ~IBdaSignalSource() = default;
};
