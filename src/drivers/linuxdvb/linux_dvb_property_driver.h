#pragma once
// The card range's vendor properties mapped onto the Linux DVB API. A PCI-E style card: the
// tuner's "Input0" pin answers KSPROPSETID_BdaExt; the tuner filter answers IKsPropertySet with
// nothing of the vendor sets on it (so the system's probe for the USB carrier fails).
//
// Record layouts: platform/ks/vendor_records.h.
//   12 GET_MEDIAINFO      get       the carrier report from FE_GET_PROPERTY (dvb_carrier_report.h)
//   13 STREAMTYPE_PARAMS  get+set   always TS; a set of GS is not supported
//   14 INPUTMULTISTREAMID set       the ISI (-1..255): DTV_STREAM_ID at the next tune
//   21 DISEQC             set       command 1, a message of 3..6 bytes
//   23 GOLDCODE           set       root 1..262143 (converted) or gold 0..262141:
//                                   DTV_SCRAMBLING_SEQUENCE_INDEX at the next tune
//   24 MODCODES           not supported: the kernel has no MODCOD filter
// The tuner filter answers our own KSPROPSETID_SignalMeasure and KSPROPSETID_LockSearch:
//   1 SIGNAL_MEASURE      get       CLinuxDvbCard::SignalMeasure, 40 bytes
//   1 LOCK_SEARCH_TIME    get       CLinuxDvbCard::LockSearchTime, 4 bytes; the carrier asked
//                                   about in the instance data (LockSearchRecord, 12 bytes)
// A record of another size, or with a value outside those ranges, is refused with E_INVALIDARG.
// Other properties ignore instance data. Kernel failures come back as HresultFromErrno's codes.
#include <array>

#include "platform/com/guid.h"
#include "platform/com/win_types.h"

namespace linuxdvb {

class CLinuxDvbCard;

class CLinuxDvbPropertyDriver {
public:
    enum class Surface { Filter, Pin };

    struct Property {
        DWORD id;
        DWORD support;  // KSPROPERTY_SUPPORT_GET / _SET
        DWORD size;
    };

    explicit CLinuxDvbPropertyDriver(CLinuxDvbCard& card);

    HRESULT QuerySupported(Surface surface, const GUID& set, DWORD id, DWORD* support);
    HRESULT Set(Surface surface, const GUID& set, DWORD id, const void* data, DWORD length);
    HRESULT Get(Surface surface, const GUID& set, DWORD id, const void* instance,
                DWORD instanceLength, void* data, DWORD length, DWORD* returned);

private:
    HRESULT Find(Surface surface, const GUID& set, DWORD id, DWORD access,
                 const Property** property) const;

    CLinuxDvbCard& m_card;
};

}  // namespace linuxdvb
