#pragma once
// The simulated cards the program lists among the installed tuners. Their tuner names contain the
// card-range names that the tuner model table knows, and every device name says that it is
// simulated. Each card has its own medium: the subtype on which its tuner's transport output
// connects, so a tuner joins only the capture filter of the same card.
#include <array>
#include <string_view>

#include "platform/com/guid.h"

enum class SimPropertyCarrier {
    PciE,  // extension properties on the tuner's "Input0" pin
    Usb,   // extension properties on the tuner filter itself
};

struct SimCardProfile {
    std::wstring_view friendlyName;       // tuner device
    std::wstring_view receiverName;       // capture device
    std::wstring_view transportInfoName;  // transport information device
    std::string_view shortName;           // in the trace
    SimPropertyCarrier carrier;
    bool reportsDvbS2X;  // the x-model card demodulates DVB-S2X and reports extended mode codes
    GUID medium;
};

inline constexpr std::array<SimCardProfile, 3> kSimulatedCards = {{
    {L"VLK Arden DVBS/S2 Tuner (simulated PCI-E card)",
     L"VLK Arden DVBS/S2 Capture (simulated PCI-E card)",
     L"VLK Arden MPEG-2 Transport Information (simulated PCI-E card)", "Arden",
     SimPropertyCarrier::PciE, false, com::MakeGuid("{5E1A0C01-7A3B-4D2A-9F10-56A1D0C0A001}")},
    {L"VLK Glen USB DVB-S2 Tuner (simulated USB card)",
     L"VLK Glen USB DVB-S2 Capture (simulated USB card)",
     L"VLK Glen MPEG-2 Transport Information (simulated USB card)", "Glen", SimPropertyCarrier::Usb,
     false, com::MakeGuid("{5E1A0C02-7A3B-4D2A-9F10-56A1D0C0A002}")},
    {L"VLK Heath DVBS/S2 Tuner 0 (simulated DVB-S2X card)",
     L"VLK Heath DVBS/S2 Capture 0 (simulated DVB-S2X card)",
     L"VLK Heath MPEG-2 Transport Information (simulated DVB-S2X card)", "Heath",
     SimPropertyCarrier::PciE, true, com::MakeGuid("{5E1A0C03-7A3B-4D2A-9F10-56A1D0C0A003}")},
}};
