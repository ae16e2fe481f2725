#pragma once
// The tuner a command works on: listed, chosen by index or name, opened on a session of the
// command's own, and closed again when the command ends.
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "graph/tuner_session.h"

namespace cli {

struct ListedTuner {
    int index = 0;
    std::string name;
    std::string kind;     // "simulated", "Linux DVB"
    std::string holders;  // the other programs that hold it; empty: free
};

std::vector<ListedTuner> ListTuners();

// Why a tuner could not be opened, and the exit status that says so.
struct TunerFailure {
    int exitStatus = 0;
    std::string text;
};

class COpenedTuner {
public:
    // `choice`: an index of ListTuners, a tuner's name, or empty for the first.
    static std::variant<std::unique_ptr<COpenedTuner>, TunerFailure> Open(
        const std::string& choice);
    ~COpenedTuner();
    COpenedTuner(const COpenedTuner&) = delete;
    COpenedTuner& operator=(const COpenedTuner&) = delete;

    CTunerSession& Session() { return m_session; }
    const std::string& Name() const { return m_session.DeviceName(); }

private:
    COpenedTuner() = default;

    CTunerSession m_session;
};

}  // namespace cli
