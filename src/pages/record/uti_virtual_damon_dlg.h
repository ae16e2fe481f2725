#pragma once
// "Capture Control" (dialog 131), the second page of the main window's property sheet: the
// record file, a file-size or a time limit, Start and Cancel Record, and the progress of a
// recording. The recording machinery is the sink's (record/recording.h); the page drives it
// from a one-shot 100 ms timer ("timer 0") that each tick re-arms while a recording runs.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "graph/tuner_session.h"
#include "platform/ui/qt/property_page.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QTimer;

class CUtiVirtualDamonDlg : public CPropertyPage {
public:
    static constexpr int kIdd = 131;
    static constexpr int kIdProgress = 1004;
    static constexpr int kIdBrowse = 1029;
    static constexpr int kIdFilePath = 1030;
    static constexpr int kIdTimeLimit = 1031;
    static constexpr int kIdSizeLimit = 1032;
    static constexpr int kIdSizeMode = 1033;
    static constexpr int kIdTimeMode = 1034;
    static constexpr int kIdStatus = 1035;
    static constexpr int kIdStartRecord = 1036;
    static constexpr int kIdCancelRecord = 1037;
    static constexpr int kIdAmountCaption = 1038;
    static constexpr int kIdAmount = 1039;

    static constexpr int kRecordTimer = 0;
    static constexpr int kTickMilliseconds = 100;

    static constexpr std::uint32_t kMinTimeLimit = 1;
    static constexpr std::uint32_t kMaxTimeLimit = 65535;
    static constexpr std::uint32_t kMinSizeLimit = 50;
    static constexpr std::uint32_t kMaxSizeLimit = 800000;

    static constexpr const char* kAlreadyStarted =
        "Record is started! Please wait or cancel record.";
    static constexpr const char* kNotLocked = "Signal is not locked! Please check signal first.";
    static constexpr const char* kNotStarted = "Record is not started!";
    static constexpr const char* kStopped = "Record Stopped!";

    explicit CUtiVirtualDamonDlg(QWidget* parent = nullptr);
    ~CUtiVirtualDamonDlg() override;

    // Message handlers, public so that tests drive them as the controls and the timer do.
    void OnSizeMode();
    void OnTimeMode();
    void OnBrowse();
    void OnStartRecord();
    void OnCancelRecord();
    // The timer message; only timer 0 is the page's.
    void OnTimer(int id);

    const std::string& FilePath() const { return m_strFilePath; }
    std::uint32_t TimeLimit() const { return m_nTimeLimit; }
    std::uint32_t SizeLimit() const { return m_nSizeLimit; }
    bool IsSizeLimit() const { return m_bSizeLimit != 0; }
    bool IsRecording() const { return m_bRecording != 0; }
    std::uint32_t Ticks() const { return m_nTicks; }
    bool IsTimerRunning() const;

protected:
    bool OnInitDialog() override;
    // The page has no default button: Enter (also the one that ends an edit in a limit field)
    // must not reach the main window and close it.
    bool OnEnter() override { return true; }

private:
    // The save-as dialog; nullopt when the user cancels.
    std::optional<QString> AskSavePath();

    // A limit field and what the page remembers of the user's edits in it.
    struct LimitField {
        QLineEdit* m_pEdit;
        std::uint32_t m_nMinimum;
        std::uint32_t m_nMaximum;
        bool m_bEditing;                      // typed into since its last Enter or focus change
        std::optional<QString> m_strRefused;  // the last text refused with a prompt
    };

    // Dialog data exchange. Reading stops at the first refused field and returns false; a
    // refused field keeps its member's value. `duringRecording`: the tick's reading, which
    // leaves a field the user is still typing in alone and prompts only once per refused edit.
    bool ReadControls(bool duringRecording);
    std::optional<std::uint32_t> ReadLimit(LimitField& field, bool duringRecording);
    void WriteControls();

    void SetAmountCaption(const QString& caption);
    // After the recording ended: why the sink stopped writing, if it did.
    void ReportWriteFailure();
    // After the recording ended: what the card's stream lost, if anything.
    void ReportStreamLoss();
    void StartTimer();
    void KillTimer();
    void Tick();

    QLineEdit* m_pFilePath;
    QLineEdit* m_pStatus;
    QLineEdit* m_pAmount;
    QLabel* m_pAmountCaption;
    QRadioButton* m_pSizeMode;
    QRadioButton* m_pTimeMode;
    QProgressBar* m_Progress;
    QTimer* m_pTimer;
    LimitField m_TimeField;
    LimitField m_SizeField;

    std::string m_strFilePath;
    std::uint32_t m_nTimeLimit = 10;
    std::uint32_t m_nSizeLimit = 500;
    std::uint8_t m_bSizeLimit = 0;
    std::int32_t m_bRecording = 0;
    std::uint32_t m_nTicks = 0;
    // The file of the running recording: the path field may change meanwhile.
    std::string m_strRecordingPath;
    CTunerSession& m_session = DefaultTunerSession();
};
