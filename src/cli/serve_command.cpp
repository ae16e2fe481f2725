// serve: the tuned transport stream over HTTP, the whole of it and each service, until a time
// limit or a stop signal.
#include <fmt/format.h>

#include <memory>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "graph/tuner_session.h"
#include "network/http_stream_server.h"
#include "record/record_texts.h"

namespace cli {

namespace {

// The URLs a player on this machine opens, one a line so a script can pick them out.
void TellUrls(CTunerSession& session, const CHttpStreamServer& server, bool open) {
    const std::string base = fmt::format("http://127.0.0.1:{}", server.Port());
    Tell(fmt::format("{}/stream  the whole transport stream", base));
    const auto services = ListedServices(session);
    if (!services) {
        Tell(
            fmt::format("The stream's service list did not come within {} s: ask for "
                        "{}/service/N by number.",
                        kServicesWaitMs / 1000, base));
    } else {
        for (const ServiceInfo& service : *services)
            Tell(fmt::format("{}/service/{}  {}", base, service.serviceNumber,
                             service.name.empty() ? "(no name)" : service.name));
    }
    if (open)
        Tell(
            fmt::format("Open to the network: other machines use this machine's address "
                        "instead of 127.0.0.1."));
}

}  // namespace

int RunServe(const CommandRequest& request) {
    auto server = std::make_shared<CHttpStreamServer>();
    std::string why;
    // Before the tuner: a port in use is known at once.
    if (!server->Start(static_cast<std::uint16_t>(*request.httpPort), request.openToNetwork, &why))
        return Fail(kExitFailed, why);
    const TunedTuner tuned = TuneForStream(request, "served");
    if (tuned.failure) return *tuned.failure;
    CTunerSession& session = tuned.tuner->Session();
    if (!session.AddStreamConsumer(server))
        return Fail(kExitFailed,
                    record_texts::RunFailedText("the tuner gives no stream to serve."));
    TellUrls(session, *server, request.openToNetwork);

    const double seconds =
        RunStream(request, {nullptr, [&](double elapsed) {
                                return fmt::format("Serving: {} clients, {} sent in {:.0f} s",
                                                   server->ClientsNow(),
                                                   Megabytes(server->BytesSent()), elapsed);
                            }});
    session.RemoveStreamConsumer(server);
    server->Stop();
    Tell(fmt::format(
        "Clients served: {}, dropped as too slow: {}; {} bytes ({}) sent in {:.1f} s{}.",
        server->ClientsServed(), server->ClientsDropped(), server->BytesSent(),
        Megabytes(server->BytesSent()), seconds, StopRequested() ? ", stopped by a signal" : ""));
    return kExitOk;
}

}  // namespace cli
