#pragma once
// "Motor/Positioner" (dialog 148), the third page of the main window's property sheet: steps,
// drives and stops a DiSEqC 1.2 dish motor, sets and clears its limits, stores and recalls
// positions, and turns the dish straight to a satellite from the site's coordinates.
//
// The page keeps no motor state; it only remembers, in memory, the site and satellite texts of
// the last "Go" and selects them again when its window is initialised. Until then the latitude
// and longitude boxes show the coordinates of the city the city box shows.
#include <QString>
#include <cstdint>

#include "platform/ui/qt/property_page.h"

class QComboBox;
class QLineEdit;

class CPositionDlg : public CPropertyPage {
public:
    static constexpr int kIdd = 148;
    static constexpr int kIdStop = 1003;
    static constexpr int kIdGoto = 1002;
    static constexpr int kIdStepWest = 1004;
    static constexpr int kIdLimitEast = 1005;
    static constexpr int kIdLimitWest = 1006;
    static constexpr int kIdLimitsReset = 1007;
    static constexpr int kIdLongitude = 1021;
    static constexpr int kIdLatitude = 1068;
    static constexpr int kIdCity = 1086;
    static constexpr int kIdCountry = 1092;
    static constexpr int kIdSatellite = 1093;
    static constexpr int kIdPositionSpin = 1097;
    static constexpr int kIdPosition = 1098;
    static constexpr int kIdStore = 1099;
    static constexpr int kIdStepEast = 1100;
    static constexpr int kIdDriveEast = 1101;
    static constexpr int kIdDriveWest = 1102;
    static constexpr int kIdGo = 1115;

    // The spin control 1097 moves the number in the position box by one, within these bounds.
    static constexpr int kFirstPosition = 0;
    static constexpr int kLastPosition = 255;

    explicit CPositionDlg(QWidget* parent = nullptr);

    // Motor commands: each sends its DiSEqC 1.2 message first as a repeated transmission (E1),
    // then as a first transmission (E0), whatever became of the first.
    void OnStepEast();
    void OnStepWest();
    void OnDriveEast();
    void OnDriveWest();
    void OnStop();
    void OnLimitEast();
    void OnLimitWest();
    void OnLimitsReset();
    void OnStore();
    void OnGoto();

    // "Go": remembers the five texts, then sends one goto-angle message for the satellite; when
    // the tuner is switched to a port that the motor is not behind, it asks first.
    void OnGo();
    // Selection changes: the country's cities, or the city's coordinates.
    void OnCountryChanged();
    void OnCityChanged();

protected:
    bool OnInitDialog() override;

private:
    // The position box's number, as atoi reads it, cut to the low eight bits.
    std::uint8_t PositionNumber() const;
    // The spin control's arrows: the number in the position box plus `delta`, kept in bounds.
    void StepPositionNumber(int delta);
    // The text of a combo box's selected item ("" without a selection), as CB_GETLBTEXT reads it.
    static QString SelectedText(const QComboBox* box);
    // CB_SELECTSTRING from item 1 onward with wrap; an empty text leaves the selection alone.
    static void SelectRemembered(QComboBox* box, const QString& text);
    // Fills the emptied city box with the selected country's cities, selects item 0 and shows
    // that city's coordinates.
    void LoadCities();
    // True, or the user's answer when the last tune switched to a port the motor is not behind.
    bool MotorHearsTheTuner();

    QLineEdit* m_pPosition;
    QComboBox* m_pSatelliteList;
    QComboBox* m_pCountryList;
    QComboBox* m_pCityList;
    QLineEdit* m_pLatitude;
    QLineEdit* m_pLongitude;

    // The texts at the last "Go"; empty until then.
    QString m_strSatellite;
    QString m_strCountry;
    QString m_strCity;
    QString m_strLatitude;
    QString m_strLongitude;
    // "Go" has been used: an initialisation shows the remembered coordinates rather than those
    // of the city it selects.
    bool m_bRemembered = false;
};
