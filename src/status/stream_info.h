#pragma once
// The carrier report in the lower half of the main window, refreshed once per monitor poll.
#include "status/signal_display.h"

// Control ids of the stream information group.
namespace stream_info_ids {
inline constexpr int kStreamType = 1041;
inline constexpr int kModulation = 1042;
inline constexpr int kInputStream = 1043;
inline constexpr int kCodingModulation = 1044;
inline constexpr int kInputSynchro = 1045;
inline constexpr int kNullPacketDeletion = 1046;
inline constexpr int kRollOff = 1047;
inline constexpr int kFec = 1048;
inline constexpr int kInputStreamList = 1049;
inline constexpr int kMatype = 1050;
inline constexpr int kIfFrequency = 1051;
inline constexpr int kSymbolRate = 1052;
inline constexpr int kStandard = 1053;
inline constexpr int kSpectrum = 1054;
inline constexpr int kFrameLength = 1055;
inline constexpr int kPilots = 1056;
}  // namespace stream_info_ids

// 0: no driver handle, or the report is not supported; 1: shown or cleared; 2: reading failed.
class CTunerSession;

int UpdateStreamInfo(CTunerSession& session, bool locked, IStreamInfoView& view);
