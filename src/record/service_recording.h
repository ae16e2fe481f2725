#pragma once
// One service of the live stream recorded into a file, cut as Watch cuts it for a player (the
// PAT rewritten to name it alone): a consumer of the session's stream tap that writes what
// passes into a record file of its own, so that the file keeps the record file's rules (bytes
// counted as written, a reader that stops reading, a full disk, a deleted file).
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "services/service_pid_filter.h"
#include "services/transport_packet_consumer.h"
#include "sink/record_file.h"

class CTunerSession;

// Made with std::make_shared: the tap holds it while it is started.
class CServiceRecording final : public ITransportPacketConsumer,
                                public std::enable_shared_from_this<CServiceRecording> {
public:
    explicit CServiceRecording(std::uint16_t serviceNumber);

    // Creates (or empties) the file and starts taking the stream; 0, or the errno value of the
    // file, or kNoStreamTap when the session has no stream to give.
    static constexpr int kNoStreamTap = -1;
    int Start(CTunerSession& session, const std::string& path);
    // Stops taking the stream (never waiting long on a reader) and closes the file.
    void Stop(CTunerSession& session);

    CRecordFile& File() { return m_file; }

    void OnPackets(std::span<const std::uint8_t> packets) override;

private:
    std::mutex m_lock;  // the filter and its buffer, on the tap's thread
    CServicePidFilter m_filter;
    std::vector<std::uint8_t> m_cut;
    CRecordFile m_file;
    bool m_bStarted = false;
};
