#pragma once
// Starts programs. The queries it runs are QProcess children: they end with it. A program started
// detached runs in its own session and outlives the runner; until the runner goes, it is looked
// at every kWatchIntervalMs for its end, which reaps it and tells whether it failed.
#include <QObject>

#include "pages/shell/process_runner.h"

class CQtProcessRunner : public IProcessRunner {
public:
    CQtProcessRunner() = default;
    CQtProcessRunner(const CQtProcessRunner&) = delete;
    CQtProcessRunner& operator=(const CQtProcessRunner&) = delete;
    ~CQtProcessRunner() override;

    void Query(const std::string& program, const std::vector<std::string>& arguments, int timeoutMs,
               Answer answer) override;
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory, Failure failed) override;

    static constexpr int kWatchIntervalMs = 200;

private:
    QObject m_queries;
    QObject m_watches;  // one timer per detached program not yet seen to end
};
