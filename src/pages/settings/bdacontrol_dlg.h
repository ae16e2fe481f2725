#pragma once
// "Tuner Setting" (dialog 130), the first page of the main window's property sheet: the
// transponder, the output stream type and the DVB-S2 scrambling code; "Lock TP" tunes. Its
// initialisation builds the tuner graph and takes the driver handle; its destruction saves the
// settings, resets the scrambling code and releases the graph.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "graph/tuner_page.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "platform/com/com_ptr.h"
#include "platform/ks/vendor_records.h"
#include "platform/media/media_interfaces.h"
#include "platform/ui/qt/property_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class CBdacontrolDlg : public CPropertyPage, public ITunerPage {
public:
    static constexpr int kIdd = 130;
    static constexpr int kIdLockTp = IDOK;
    static constexpr int kIdSetCode = 1000;
    static constexpr int kIdSetModCodes = 1001;
    static constexpr int kIdPolarity = 1002;
    static constexpr int kIdDiseqc = 1003;
    static constexpr int kIdOutputStream = 1007;
    static constexpr int kIdCodeType = 1009;
    static constexpr int kIdSend = 1011;
    static constexpr int kIdFrequency = 1012;
    static constexpr int kIdLnbLow = 1013;
    static constexpr int kIdSymbolRate = 1014;
    static constexpr int kIdLnbHigh = 1015;
    static constexpr int kIdCode = 1058;
    static constexpr int kIdLnbSwitch = 1059;

    static constexpr const char* kUnsupportedCard = "This card is not support Recorder!";

    explicit CBdacontrolDlg(QWidget* parent = nullptr);
    ~CBdacontrolDlg() override;

    // ITunerPage: what "Lock TP" and "Send" read and call.
    std::string FieldText(TunerField field) const override;
    std::int32_t PolarityIndex() const override { return m_nPolarity; }
    std::int32_t DiseqcPortIndex() const override { return m_nDiseqc; }
    StreamTypeRecord StreamType() const override { return m_StreamType; }
    void SetLnbSwitch(std::int32_t mhz) override { m_nLnbSwitch = mhz; }
    void SaveSettings() override;
    void EnableTuneButtons(bool enable) override;
    void ShowTuneResult(const TuneResult& result) override;

    void LoadSettings();
    // A transponder chosen from a list (MHz, kSps, 0 horizontal or 1 vertical) behind the page's
    // LNB, switch port and output stream type: what "Lock TP" would tune with it in the fields.
    // The fields and the settings file stay as the user typed them.
    Transponder ListedTransponder(std::int32_t frequencyMHz, std::int32_t symbolRateKsps,
                                  std::int32_t polarityIndex) const;
    // After the tune of a listed transponder, on the window's thread: its errors in the boxes
    // "Lock TP" shows, and the listener told as after "Lock TP".
    void ListedTransponderTuned(const TuneResult& result);
    // Called after each "Lock TP" and each tune of a listed transponder (not after other tunes,
    // such as the input stream's "Apply").
    void SetLockTpListener(std::function<void()> listener) {
        m_fnLockTpListener = std::move(listener);
    }

    std::int32_t CodeTypeIndex() const { return m_nCodeType; }
    std::int32_t CodeValue() const { return m_nCodeValue; }
    std::int32_t LnbSwitch() const { return m_nLnbSwitch; }
    // The page's own reference to the graph's tuner filter, taken at initialisation.
    IBaseFilter* TunerDevice() const { return m_pTunerDevice.Get(); }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Escape on the page does nothing; Enter is "Lock TP" through the default button.
    bool OnEscape() override { return true; }

    // Ends the program after an unsupported card: a quit posted to the UI thread, which ends
    // the main window's modal loop. Tests override it.
    virtual void PostQuit();

    void OnLockTp();
    void OnSend();
    void OnSetCode();
    void OnSetModCodes();

private:
    QLineEdit* Field(TunerField field) const;
    // Dialog data exchange: the "Code:" field into m_nCodeValue (refused: prompt, old value)
    // and back.
    void ReadCodeField();
    void ShowCodeField();

    QLineEdit* m_pFrequency;
    QLineEdit* m_pSymbolRate;
    QLineEdit* m_pLnbLow;
    QLineEdit* m_pLnbHigh;
    QLineEdit* m_pLnbSwitch;
    QLineEdit* m_pCode;
    QComboBox* m_pPolarityList;
    QComboBox* m_pDiseqcList;
    QComboBox* m_pOutputStreamList;
    QComboBox* m_pCodeTypeList;
    QPushButton* m_pLockTpButton;
    QPushButton* m_pSendButton;

    std::int32_t m_nDiseqc = 0;
    std::int32_t m_nPolarity = 0;
    std::int32_t m_nCodeType = 0;
    std::int32_t m_nCodeValue = 0;
    std::int32_t m_nLnbSwitch = 0;
    StreamTypeRecord m_StreamType = kTransportStreamType;
    CTunerSession& m_session = DefaultTunerSession();
    ComPtr<IBaseFilter> m_pTunerDevice;
    std::function<void()> m_fnLockTpListener;
};
