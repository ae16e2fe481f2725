#include "status/stream_info.h"

#include <string>

#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "status/stream_info_decoder.h"

using namespace stream_info_ids;

int UpdateStreamInfo(CTunerSession& session, bool locked, IStreamInfoView& view) {
    if (!session.HasDriverControl()) return 0;
    // Before the read: a tune that comes between the two makes the report look older, never newer.
    const std::uint64_t tune = TuneCount(session);
    if (!locked) {
        // The MATYPE box and the input stream list keep what they show.
        for (const int id : {kStreamType, kStandard, kModulation, kInputStream, kCodingModulation,
                             kInputSynchro, kNullPacketDeletion, kRollOff, kFec, kIfFrequency,
                             kSymbolRate, kPilots, kFrameLength, kSpectrum}) {
            view.SetText(id, "");
        }
        return 1;
    }
    DriverReports reports;
    const MediaInfoResult read = GetMediaInfo(session, reports);
    if (!reports.empty()) view.ShowDriverReports(reports);
    switch (read) {
        case MediaInfoResult::Unsupported:
            return 0;
        case MediaInfoResult::Failed:
            return 2;
        case MediaInfoResult::Read:
            break;
    }
    const MediaInfoRecord& info = session.m_MediaInfoRecord;
    view.SetText(kMatype, stream_info::MatypeText(info.matype1, info.matype2));
    view.SetText(kStreamType, stream_info::StreamTypeText(info.streamType));
    view.SetText(kModulation, stream_info::ModulationText(info.modulation));
    view.SetText(kInputStream, stream_info::InputStreamText(info.inputStream));
    view.SetText(kCodingModulation, stream_info::CodingModulationText(info.codingModulation));
    view.SetText(kInputSynchro, stream_info::InputSynchroText(info.inputSynchro));
    view.SetText(kNullPacketDeletion, stream_info::NullPacketDeletionText(info.nullPacketDeletion));
    view.SetText(kRollOff, stream_info::RollOffText(info.rollOff));
    if (info.standard == 1) {
        view.SetText(kStandard, "DVB-S2");
        view.SetText(kFec, stream_info::Dvbs2CodeRateText(info.modCode));
    } else if (info.standard == 0) {
        view.SetText(kStandard, "DVB-S1");
        view.SetText(kFec, stream_info::DvbsCodeRateText(info.dvbsCodeRate));
    } else {
        // The driver reports 0 or 1; anything else is shown as not understood.
        view.SetText(kStandard, "UNKNOWN");
        view.SetText(kFec, "UNKNOWN");
    }
    view.SetText(kPilots, stream_info::PilotsText(info.pilots));
    view.SetText(kFrameLength, stream_info::FrameLengthText(info.frameLength));
    view.SetText(kSpectrum, stream_info::SpectrumText(info.spectrum));
    if (session.IsExtendedModel()) {
        const auto extended = stream_info::DecodeExtendedModCode(info.modCode);
        if (extended.standard) view.SetText(kStandard, *extended.standard);
        view.SetText(kFec, extended.fec);
        view.SetText(kModulation, extended.modulation);
    }
    if (info.inputStream == 0) view.AddInputStreamId(std::to_string(info.inputStreamId), tune);
    view.SetText(kIfFrequency, std::to_string(info.ifFrequency));
    view.SetText(kSymbolRate, std::to_string(info.symbolRate));
    return 1;
}
