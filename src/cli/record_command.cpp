// record: the transport stream, or one service of it, into a file or standard output until a
// limit or a stop signal, keeping every byte received.
#include <fmt/format.h>
#include <unistd.h>

#include <memory>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "graph/tuner_session.h"
#include "network/datagram_sender.h"
#include "record/record_texts.h"
#include "record/recording.h"
#include "record/service_recording.h"

namespace cli {

namespace {

constexpr std::uint64_t kBytesPerMB = std::uint64_t{1024} * 1024;

bool SizeReached(const CommandRequest& request, std::uint64_t bytes) {
    return request.sizeMB && bytes >= static_cast<std::uint64_t>(*request.sizeMB) * kBytesPerMB;
}

// The whole stream through the session's sink, or one service through its stream tap: the
// same start, the same counts, the same stop.
class CRecordTarget {
public:
    CRecordTarget(CTunerSession& session, std::optional<int> service) : m_session(session) {
        if (service)
            m_pService = std::make_shared<CServiceRecording>(static_cast<std::uint16_t>(*service));
    }

    // 0, or the user's words for why nothing is recorded.
    std::string Start(const std::string& path) {
        if (m_pService) {
            const int error = m_pService->Start(m_session, path);
            if (error == CServiceRecording::kNoStreamTap)
                return record_texts::RunFailedText(
                    "the tuner gives no stream to cut a service from.");
            return error == 0 ? std::string() : record_texts::CreateFailedText(path, error);
        }
        SetRecordFilePath(m_session, path);
        const int error = StartRecording(m_session);
        if (error == 0) return {};
        StopRecording(m_session);
        return error == kRecordGraphNotRunning
                   ? record_texts::RunFailedText(GetRecordRunFailure(m_session))
                   : record_texts::CreateFailedText(path, error);
    }
    // Counted as written, to the byte.
    std::uint64_t Bytes() { return File().BytesWritten(); }
    // Looks at the open file, so that a deleted one shows.
    int WriteError() {
        if (!m_pService) return GetRecordWriteError(m_session);
        m_pService->File().CheckDeleted();
        return m_pService->File().WriteError();
    }
    std::uint64_t LostBytes() { return File().BytesLost(); }
    void Stop() {
        // A deleted file is seen only while it is still open; a reader that stopped reading,
        // only when the stop gives up waiting for it.
        const int beforeStop = WriteError();
        if (m_pService) {
            m_pService->Stop(m_session);
        } else {
            StopRecording(m_session);
        }
        m_nWriteErrorAtStop = beforeStop != 0 ? beforeStop : File().WriteError();
    }
    int WriteErrorAtStop() const { return m_nWriteErrorAtStop; }

private:
    CRecordFile& File() {
        return m_pService ? m_pService->File() : m_session.m_Record.m_RecordFile;
    }

    CTunerSession& m_session;
    std::shared_ptr<CServiceRecording> m_pService;
    int m_nWriteErrorAtStop = 0;
};

// Why the stream has no service `number` to record, or nothing when it has.
std::optional<std::string> MissingService(CTunerSession& session, int number) {
    const auto services = ListedServices(session);
    if (!services)
        return fmt::format(
            "The stream's service list did not come within {} s: service {} cannot "
            "be found.",
            kServicesWaitMs / 1000, number);
    std::string listed;
    for (const ServiceInfo& service : *services) {
        if (service.serviceNumber == number) return std::nullopt;
        listed += fmt::format("{}{} {}", listed.empty() ? "" : ", ", service.serviceNumber,
                              service.name.empty() ? "(no name)" : service.name);
    }
    return fmt::format("The transponder carries no service {}; it carries {}.", number,
                       listed.empty() ? "none" : listed);
}

// The stream, or one service, sent as datagrams to the request's address until a limit or a
// stop signal; the datagrams the network refuses are counted, not waited for.
int SendToNetwork(const CommandRequest& request) {
    auto sender = std::make_shared<CDatagramSender>();
    CDatagramSender::Options options;
    options.address = *request.outputAddress;
    if (request.service) options.service = static_cast<std::uint16_t>(*request.service);
    std::string why;
    // Before the tuner: an address that does not resolve is the user's to mend, at once.
    if (!sender->Open(options, &why)) return Fail(kExitBadArguments, why);
    const TunedTuner tuned = TuneForStream(request, "sent");
    if (tuned.failure) return *tuned.failure;
    CTunerSession& session = tuned.tuner->Session();
    if (request.service) {
        if (const auto missing = MissingService(session, *request.service))
            return Fail(kExitBadArguments, *missing);
    }
    if (!session.AddStreamConsumer(sender))
        return Fail(kExitFailed, record_texts::RunFailedText("the tuner gives no stream to send."));

    const double seconds = RunStream(
        request, {[&] { return SizeReached(request, sender->SentBytes()); },
                  [&](double elapsed) {
                      return fmt::format("Sending to {}: {} in {:.0f} s, {} datagrams dropped",
                                         request.output, Megabytes(sender->SentBytes()), elapsed,
                                         sender->DroppedDatagrams());
                  }});
    session.RemoveStreamConsumer(sender);
    sender->Stop();
    if (sender->SentDatagrams() == 0 && sender->DroppedDatagrams() > 0)
        return Fail(kExitFailed, fmt::format("Nothing could be sent to {}: the network refused "
                                             "all {} datagrams.",
                                             request.output, sender->DroppedDatagrams()));
    Tell(fmt::format("Sent {} bytes ({}) to {} ({}) in {:.1f} s: {} datagrams, {} dropped{}.",
                     sender->SentBytes(), Megabytes(sender->SentBytes()), request.output,
                     sender->Destination(), seconds, sender->SentDatagrams(),
                     sender->DroppedDatagrams(), StopRequested() ? ", stopped by a signal" : ""));
    return kExitOk;
}

}  // namespace

int RunRecord(const CommandRequest& request) {
    if (request.outputAddress) return SendToNetwork(request);
    const bool toStandardOutput = request.output == "-";
    if (toStandardOutput && isatty(STDOUT_FILENO) != 0)
        return Fail(kExitBadArguments,
                    "Standard output is a terminal: send it to a file or a pipe (> file.ts, | "
                    "player -), or give --output PATH.");
    const std::string path = toStandardOutput ? "/dev/stdout" : request.output;
    const TunedTuner tuned = TuneForStream(request, "recorded");
    if (tuned.failure) return *tuned.failure;
    CTunerSession& session = tuned.tuner->Session();
    if (request.service) {
        if (const auto why = MissingService(session, *request.service))
            return Fail(kExitBadArguments, *why);
    }
    CRecordTarget target(session, request.service);
    if (const std::string why = target.Start(path); !why.empty()) return Fail(kExitFailed, why);

    int writeError = 0;
    const double seconds =
        RunStream(request, {[&] {
                                return SizeReached(request, target.Bytes()) ||
                                       (writeError = target.WriteError()) != 0;
                            },
                            [&](double elapsed) {
                                return fmt::format("Recording {}: {} in {:.0f} s", request.output,
                                                   Megabytes(target.Bytes()), elapsed);
                            }});
    const RecordStreamLoss loss =
        request.service ? RecordStreamLoss{} : GetRecordStreamLoss(session);
    target.Stop();
    if (writeError == 0) writeError = target.WriteErrorAtStop();
    if (loss.overruns > 0) Tell(record_texts::StreamLossText(loss.overruns, loss.bytesLost));
    if (writeError != 0)
        return Fail(kExitFailed,
                    record_texts::WriteFailedText(request.output, writeError, target.LostBytes()));
    Tell(fmt::format("Recorded {} bytes ({}) into {} in {:.1f} s{}.", target.Bytes(),
                     Megabytes(target.Bytes()), toStandardOutput ? "standard output" : path,
                     seconds, StopRequested() ? ", stopped by a signal" : ""));
    return kExitOk;
}

}  // namespace cli
