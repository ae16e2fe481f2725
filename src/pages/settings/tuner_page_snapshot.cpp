#include "pages/settings/tuner_page_snapshot.h"

#include <utility>

CTunerPageSnapshot::CTunerPageSnapshot(TunerSettings settings, StreamTypeRecord streamType,
                                       std::string settingsPath)
    : m_settings(std::move(settings)),
      m_StreamType(streamType),
      m_strSettingsPath(std::move(settingsPath)) {}

std::string CTunerPageSnapshot::FieldText(TunerField field) const {
    return m_settings.Field(field);
}

void CTunerPageSnapshot::WriteSettings() const {
    SaveTunerSettings(m_strSettingsPath, m_settings);
}
