#pragma once
// The simulated card's tuner filter (CBdaTunerFilter): CommitChanges tunes the card, the signal
// statistics are the card's, and both property sets go to the card's property driver (filter-
// level properties for the USB style card, "Input0" for the PCI-E style ones). The faults a test
// injects (CSimFaults) refuse interfaces, fail the statistics and fail or slow down the commit.
#include <memory>

#include "drivers/kit/bda_tuner_filter.h"
#include "drivers/sim/sim_card.h"

inline constexpr CLSID CLSID_SimTunerFilter =
    com::MakeGuid("{5E1A0C10-7A3B-4D2A-9F10-56A1D0C0A010}");

class CSimTunerFilter : public CBdaTunerFilter {
public:
    explicit CSimTunerFilter(std::shared_ptr<CSimCard> card);
    ~CSimTunerFilter() override;

    CSimCard& Card() const { return *m_pCard; }

private:
    // The card's property driver, which traces every call.
    HRESULT Property(const BdaPropertyRequest& request) override;
    bool Refuses(Interface which) const override;
    HRESULT Tune(const BdaTuneRequest& request) override;
    bool IsRemoved() const override;
    // A commit action a test set runs first; a commit failure it set is the answer.
    std::optional<HRESULT> InterceptCommit() override;
    // The card's statistics, or the failure a test injected.
    HRESULT ReadSignal(BdaSignal* signal) override;

    const std::shared_ptr<CSimCard> m_pCard;
};
