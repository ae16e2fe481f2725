#pragma once
// The vendor side of the simulated card's kernel-streaming properties: which properties it
// offers where, the exact size of every record, their decoding (little-endian, byte by byte: the
// driver keeps its own idea of the layouts, independent of the system's
// platform/ks/vendor_records.h, so that it checks the system instead of sharing its mistakes), and
// what each does to the card.
//
// PCI-E style cards answer KSPROPSETID_BdaExt on their "Input0" pin:
//   12 GET_MEDIAINFO get 72 | 13 STREAMTYPE_PARAMS get+set 2 | 14 INPUTMULTISTREAMID set 72 |
//   21 DISEQC set 536 | 23 GOLDCODE set 264 | 24 MODCODES set 1348
// The USB card answers KSPROPSETID_Ctrl on its tuner filter:
//   1 PRESENT support query only | 3 TUNER set 288 | 15 GET_MEDIAINFO get 72 |
//   20 GOLDCODE set 264 | 21 MODCODES set 1348
// Every card answers our own KSPROPSETID_SignalMeasure, KSPROPSETID_LockSearch and
// KSPROPSETID_MotorReach on its tuner filter:
//   1 SIGNAL_MEASURE get 40 (CSimCard::SignalMeasure; the level is never reported)
//   1 LOCK_SEARCH_TIME get 4 (CSimCard::kLockSearchTicks in ms), the 12-byte carrier as instance
//   data
//   1 MOTOR_REACHED get 4 (CSimCard::LastDiseqcReachedMotor, 1 or 0)
// Anything else: E_PROP_SET_UNSUPPORTED for a set the object does not carry, E_PROP_ID_UNSUPPORTED
// for an id (or an access) it does not have. A record of the wrong size, or with a value the
// driver does not take, is refused with E_INVALIDARG and nothing happens. Other properties accept
// instance data and ignore it (the system passes the record itself there for some).
//
// Values the driver decides (the system leaves them open):
// - DISEQC: DWORD 0 must be 1 ("send"); the length at 144 must be 3..6.
// - TUNER: bytes 17..19 are traced, not acted on; a message starts at 21 when byte 21 is a
//   master framing byte (E0..E3); its length follows from the command byte at 23.
// - GOLDCODE: type 0 root code (1..262143, converted to the gold code), 1 gold code (0..262141).
// - MODCODES: count 0..112; entries modcode 0..28, selector 1 = short frames, selector 2 = pilots,
//   each 0 or 1. Count 0 turns the filter off (everything passes). Otherwise a frame passes when an
//   entry names its MODCOD, frame length and pilots; an entry with modcode 0 selects only dummy
//   frames, which carry nothing. So the "ALL" record of the mode-code dialog (count 112, eight
//   entries for MODCODs 12 and 18, the rest zero) passes 8PSK 3/5 and 16APSK 2/3 only.
// - INPUTMULTISTREAMID: the ISI at 48, 0..255, or -1 for no selection.
// - STREAMTYPE_PARAMS: {1,0} transport stream, {0,1} generic stream.
#include <span>
#include <vector>

#include "platform/com/guid.h"
#include "platform/com/win_types.h"
#include "platform/ks/ks_property_set.h"

class CSimCard;

class CSimPropertyDriver {
public:
    enum class Surface { Filter, Pin };

    struct Property {
        GUID set;
        DWORD id;
        DWORD support;  // KSPROPERTY_SUPPORT_GET / _SET; 0 for a property only to be asked about
        DWORD size;     // record size in bytes
    };

    explicit CSimPropertyDriver(CSimCard& card);

    // What this card offers on the surface.
    std::span<const Property> Properties(Surface surface) const;

    HRESULT QuerySupported(Surface surface, const GUID& set, DWORD id, DWORD* support);
    HRESULT Set(Surface surface, const GUID& set, DWORD id, void* instance, DWORD instanceLength,
                void* data, DWORD length);
    HRESULT Get(Surface surface, const GUID& set, DWORD id, void* instance, DWORD instanceLength,
                void* data, DWORD length, DWORD* returned);

private:
    // S_OK and the property, or the refusal for an unknown set, id or access.
    HRESULT Find(Surface surface, const GUID& set, DWORD id, DWORD access,
                 const Property** property) const;
    HRESULT ActOnSet(DWORD id, const GUID& set, const std::vector<std::uint8_t>& record);
    HRESULT FillGet(const GUID& set, DWORD id, std::vector<std::uint8_t>& record);
    void TraceExchange(const char* what, const GUID& set, DWORD id,
                       std::span<const std::uint8_t> bytes, HRESULT hr);

    CSimCard& m_card;
};
