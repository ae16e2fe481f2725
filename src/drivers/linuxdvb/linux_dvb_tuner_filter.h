#pragma once
// The tuner filter of a Linux DVB frontend (CBdaTunerFilter): CommitChanges tunes the frontend,
// the signal statistics are the frontend's, and both property sets go to the card's own
// property driver (vendor properties on "Input0"; nothing on the filter: a PCI-E style card).
// The filter keeps the frontend open while it exists.
#include <memory>

#include "drivers/kit/bda_tuner_filter.h"
#include "drivers/linuxdvb/linux_dvb_property_driver.h"

namespace linuxdvb {

class CLinuxDvbCard;

inline constexpr CLSID CLSID_LinuxDvbTunerFilter =
    com::MakeGuid("{4C445642-7A3B-4D2A-9F10-56A1D0C0B010}");

class CLinuxDvbTunerFilter : public CBdaTunerFilter {
public:
    explicit CLinuxDvbTunerFilter(std::shared_ptr<CLinuxDvbCard> card);
    ~CLinuxDvbTunerFilter() override;

    CLinuxDvbCard& Card() const { return *m_pCard; }
    CLinuxDvbPropertyDriver& Driver() { return m_driver; }

private:
    // The card's own property driver; it takes no instance data.
    HRESULT Property(const BdaPropertyRequest& request) override;
    HRESULT Tune(const BdaTuneRequest& request) override;
    bool IsRemoved() const override;
    // The frontend's statistics; a signal counts as present when it has any strength.
    HRESULT ReadSignal(BdaSignal* signal) override;

    const std::shared_ptr<CLinuxDvbCard> m_pCard;
    CLinuxDvbPropertyDriver m_driver;
};

}  // namespace linuxdvb
