#pragma once
// One reading of the card for a scan: lock, C/N, the carrier report (every input stream of a
// multistream carrier that the card names meanwhile) and the services seen so far. The scan
// window's worker and the command line's scan take the same reading.
#include <cstdint>

#include "scan/satellite_scan.h"

// How often a scan reads the card: at least ten readings a second, so a lock shows within a
// tenth of a second.
inline constexpr int kScanReadPeriodMs = 50;

class CServiceScanner;
class CTunerSession;

// `generation` and `nowMs` are the scan's as the reading begins; `scanner` may be null.
ScanObservation ReadScanObservation(CTunerSession& session, const CServiceScanner* scanner,
                                    std::uint64_t generation, std::uint64_t nowMs,
                                    bool extendedCodes);
