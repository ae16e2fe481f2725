#include "pages/shell/qt_process_runner.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
                                     const std::string& workingDirectory, Failure failed) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    // Its own session, as a desktop program: our terminal's signals are not its business. It gets
    // the signal handling a fresh program expects, not the window thread's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t reset;
    sigemptyset(&reset);
    sigaddset(&reset, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &reset);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    // A missing program or folder is reported here: the spawn waits for the exec to succeed.
    const int error =
        ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return false;

    auto* watch = new QTimer(&m_watches);
    QObject::connect(watch, &QTimer::timeout, watch, [watch, pid, failed = std::move(failed)] {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == 0) return;
        watch->stop();
        const Failure report = failed;
        watch->deleteLater();
        const bool succeeded = ended == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        // ECHILD: someone else reaped it, and its end is unknown; nothing to say then.
        if (ended == pid && !succeeded && report) report();
    });
    watch->start(kWatchIntervalMs);
    return true;
}
