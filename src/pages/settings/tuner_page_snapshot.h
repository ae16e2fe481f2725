#pragma once
// The Tuner Setting page as it stood when a "Lock TP" began, so that the tune can run off the
// window's thread (the satellite scan): taken on the window's thread, it answers what tuning asks
// of the page without touching a widget; its settings are written to the page's file by
// WriteSettings on the tuning thread, after the tune, so that the file's writes do not stand
// between the caller's clock and the tune; the page's tune buttons stay the page's business (see
// CBdacontrolDlg::BeginListedLock and EndListedLock).
#include <cstdint>
#include <string>

#include "graph/tuner_page.h"
#include "pages/settings/tuner_settings.h"

class CTunerPageSnapshot : public ITunerPage {
public:
    CTunerPageSnapshot(TunerSettings settings, StreamTypeRecord streamType,
                       std::string settingsPath);

    std::string FieldText(TunerField field) const override;
    std::int32_t PolarityIndex() const override { return m_settings.polarity; }
    std::int32_t DiseqcPortIndex() const override { return m_settings.diseqc; }
    StreamTypeRecord StreamType() const override { return m_StreamType; }
    void SetLnbSwitch(std::int32_t mhz) override { m_nLnbSwitch = mhz; }
    // Left to WriteSettings.
    void SaveSettings() override {}
    void EnableTuneButtons(bool) override {}

    // What SaveSettings of the page would have written.
    void WriteSettings() const;

    // The switch frequency the tune parsed, for the page once the tune is done.
    std::int32_t LnbSwitch() const { return m_nLnbSwitch; }

private:
    TunerSettings m_settings;
    StreamTypeRecord m_StreamType;
    std::string m_strSettingsPath;
    std::int32_t m_nLnbSwitch = 0;
};
