#pragma once
// Starts programs with QProcess. The queries it runs are its children: they end with it.
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
                       const std::string& workingDirectory) override;

private:
    QObject m_queries;
};
