#pragma once
// The card range's vendor property sets and their property ids. The PCI-E cards offer
// KSPROPSETID_BdaExt on the tuner's "Input0" pin; the USB cards offer KSPROPSETID_Ctrl on the
// tuner filter. KSPROPSETID_SignalMeasure, KSPROPSETID_LockSearch and KSPROPSETID_MotorReach are
// our own, vendor-neutral sets: a card of ours answers them on its tuner filter (the filter the
// signal statistics come from), whichever carrier its vendor sets use. Only a card that can tell
// answers KSPROPSETID_MotorReach: a real DiSEqC bus carries no reply from a dish motor.
#include <string_view>

#include "platform/com/guid.h"
#include "platform/com/win_types.h"

inline constexpr GUID KSPROPSETID_BdaExt = com::MakeGuid("{FAA8F3E5-31D4-4E41-88EF-D9EB716F6EC9}");
inline constexpr GUID KSPROPSETID_Ctrl = com::MakeGuid("{C6EFE5EB-855A-4F1B-B7AA-87B5E1DC4113}");
inline constexpr GUID KSPROPSETID_SignalMeasure =
    com::MakeGuid("{3B0E6C52-94D1-4F7A-A6C3-1D58E2B7940F}");
inline constexpr GUID KSPROPSETID_LockSearch =
    com::MakeGuid("{8E4B2A17-6C3D-4F58-9A0B-52D7C1E6F394}");
inline constexpr GUID KSPROPSETID_MotorReach =
    com::MakeGuid("{5D7A3C91-2E48-4B6F-8C15-A9E0F3B26D74}");

// KSPROPSETID_BdaExt
inline constexpr DWORD KSPROPERTY_BDA_GET_MEDIAINFO = 12;
inline constexpr DWORD KSPROPERTY_BDA_STREAMTYPE_PARAMS = 13;
inline constexpr DWORD KSPROPERTY_BDA_INPUTMULTISTREAMID = 14;
inline constexpr DWORD KSPROPERTY_BDA_DISEQC = 21;
inline constexpr DWORD KSPROPERTY_BDA_GOLDCODE = 23;
inline constexpr DWORD KSPROPERTY_BDA_MODCODES = 24;

// KSPROPSETID_Ctrl
inline constexpr DWORD KSPROPERTY_CTRL_PRESENT = 1;
inline constexpr DWORD KSPROPERTY_CTRL_TUNER = 3;
inline constexpr DWORD KSPROPERTY_CTRL_GET_MEDIAINFO = 15;
inline constexpr DWORD KSPROPERTY_CTRL_GOLDCODE = 20;
inline constexpr DWORD KSPROPERTY_CTRL_MODCODES = 21;

// KSPROPSETID_SignalMeasure
inline constexpr DWORD KSPROPERTY_SIGNAL_MEASURE = 1;

// KSPROPSETID_LockSearch: how long the card's search for a carrier may take (LockSearchRecord).
inline constexpr DWORD KSPROPERTY_LOCK_SEARCH_TIME = 1;

// KSPROPSETID_MotorReach: whether the last DiSEqC message sent was a positioner command that
// reached a motor (a DWORD, 1 or 0).
inline constexpr DWORD KSPROPERTY_MOTOR_REACHED = 1;

// The property's name as the trace and the driver's documentation write it; empty when the set
// has no such property.
constexpr std::string_view VendorPropertyName(const GUID& set, DWORD id) {
    if (set == KSPROPSETID_BdaExt) {
        switch (id) {
            case KSPROPERTY_BDA_GET_MEDIAINFO:
                return "KSPROPERTY_BDA_GET_MEDIAINFO";
            case KSPROPERTY_BDA_STREAMTYPE_PARAMS:
                return "KSPROPERTY_BDA_STREAMTYPE_PARAMS";
            case KSPROPERTY_BDA_INPUTMULTISTREAMID:
                return "KSPROPERTY_BDA_INPUTMULTISTREAMID";
            case KSPROPERTY_BDA_DISEQC:
                return "KSPROPERTY_BDA_DISEQC";
            case KSPROPERTY_BDA_GOLDCODE:
                return "KSPROPERTY_BDA_GOLDCODE";
            case KSPROPERTY_BDA_MODCODES:
                return "KSPROPERTY_BDA_MODCODES";
            default:
                return {};
        }
    }
    if (set == KSPROPSETID_Ctrl) {
        switch (id) {
            case KSPROPERTY_CTRL_PRESENT:
                return "KSPROPERTY_CTRL_PRESENT";
            case KSPROPERTY_CTRL_TUNER:
                return "KSPROPERTY_CTRL_TUNER";
            case KSPROPERTY_CTRL_GET_MEDIAINFO:
                return "KSPROPERTY_CTRL_GET_MEDIAINFO";
            case KSPROPERTY_CTRL_GOLDCODE:
                return "KSPROPERTY_CTRL_GOLDCODE";
            case KSPROPERTY_CTRL_MODCODES:
                return "KSPROPERTY_CTRL_MODCODES";
            default:
                return {};
        }
    }
    if (set == KSPROPSETID_SignalMeasure && id == KSPROPERTY_SIGNAL_MEASURE)
        return "KSPROPERTY_SIGNAL_MEASURE";
    if (set == KSPROPSETID_LockSearch && id == KSPROPERTY_LOCK_SEARCH_TIME)
        return "KSPROPERTY_LOCK_SEARCH_TIME";
    if (set == KSPROPSETID_MotorReach && id == KSPROPERTY_MOTOR_REACHED)
        return "KSPROPERTY_MOTOR_REACHED";
    return {};
}
