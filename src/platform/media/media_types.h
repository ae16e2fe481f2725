#pragma once
// Media types that several filters of the stand-in offer.
#include "platform/media/media_interfaces.h"

namespace media {

inline constexpr LONG kTsPacketSize = 188;

// A transport stream in 188-byte packets: MEDIATYPE_Stream / MEDIASUBTYPE_MPEG2_TRANSPORT,
// no format block.
inline AM_MEDIA_TYPE TransportStreamType() {
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    mt.bFixedSizeSamples = FALSE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = kTsPacketSize;
    return mt;
}

inline bool IsTransportStream(const AM_MEDIA_TYPE& mt) {
    return mt.majortype == MEDIATYPE_Stream && mt.subtype == MEDIASUBTYPE_MPEG2_TRANSPORT;
}

}  // namespace media
