#include "pages/shell/qt_process_runner.h"

#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

QStringList ToQt(const std::vector<std::string>& arguments) {
    QStringList list;
    for (const std::string& argument : arguments) list << QString::fromStdString(argument);
    return list;
}

}  // namespace

void CQtProcessRunner::Query(const std::string& program, const std::vector<std::string>& arguments,
                             int timeoutMs, Answer answer) {
    auto* process = new QProcess(&m_queries);
    process->setProgram(QString::fromStdString(program));
    process->setArguments(ToQt(arguments));
    // Nothing to read from us, and its complaints are not ours to show.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // Called once: a program that fails to start gives no "finished", one that ends gives no
    // start failure.
    auto pending = std::make_shared<Answer>(std::move(answer));
    const auto reply = [process, pending](std::optional<std::string> output) {
        if (!*pending) return;
        const Answer call = std::exchange(*pending, nullptr);
        process->deleteLater();
        call(std::move(output));
    };
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [reply](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) reply(std::nullopt);
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, reply](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             return reply(std::nullopt);
                         reply(process->readAllStandardOutput().toStdString());
                     });
    // A program that runs too long is killed; its end then answers nothing.
    QTimer::singleShot(timeoutMs, process, [process] { process->kill(); });
    process->start();
}

CQtProcessRunner::~CQtProcessRunner() {
    // What still runs is no one's business any more: no answer, and no wait for a stuck program.
    for (QProcess* process : m_queries.findChildren<QProcess*>()) {
        process->disconnect();
        process->kill();
        process->waitForFinished(500);
    }
}

bool CQtProcessRunner::StartDetached(const std::string& program,
                                     const std::vector<std::string>& arguments,
                                     const std::string& workingDirectory) {
    return QProcess::startDetached(QString::fromStdString(program), ToQt(arguments),
                                   QString::fromStdString(workingDirectory));
}
