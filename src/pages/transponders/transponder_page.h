#pragma once
// "Transponders", the page after the three of the main window: a satellite's transponders from
// its satellite file, tuned by Enter or a double-click exactly as the Tuner Setting page's
// "Lock TP" does; the signal in decibels; the services of the tuned transponder; and a media
// player fed with the live stream. The page keeps its own settings file in the user's
// configuration folder and changes nothing the other pages show or send.
#include <memory>
#include <string>
#include <vector>

#include "data/satellite_file.h"
#include "platform/ui/qt/property_page.h"

class CBdacontrolDlg;
class QComboBox;
class QTableWidget;

class CTransponderPage : public CPropertyPage {
public:
    static constexpr int kIdd = 160;
    static constexpr int kIdSatellite = 1001;
    static constexpr int kIdTransponders = 1002;

    static constexpr const char* kSettingsFile = "Transponders.ini";

    CTransponderPage(CBdacontrolDlg& tunerPage, QWidget* parent = nullptr);
    ~CTransponderPage() override;

    // The satellites of the list, in its order.
    const std::vector<SatelliteFile>& Satellites() const { return m_satellites; }
    QTableWidget* TransponderTable() const { return m_pTransponderTable; }

protected:
    bool OnInitDialog() override;
    // Enter on the page tunes the chosen transponder; it never reaches the window.
    bool OnEnter() override;

private:
    void OnSatelliteChosen();
    void OnTransponderActivated(int row);
    std::string SettingsPath() const;

    CBdacontrolDlg& m_tunerPage;
    QComboBox* m_pSatelliteList;
    QTableWidget* m_pTransponderTable;
    std::vector<SatelliteFile> m_satellites;
};
