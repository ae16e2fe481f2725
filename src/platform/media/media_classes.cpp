#include "platform/media/media_classes.h"

#include "platform/com/class_registry.h"
#include "platform/media/filter_graph.h"
#include "platform/media/inf_tee.h"
#include "platform/media/mpeg2_demux.h"
#include "platform/media/transport_info_filter.h"

void RegisterMediaClasses() {
    RegisterComClass<CFilterGraph>(CLSID_FilterGraph);
    RegisterComClass<CInfTee>(CLSID_InfTee);
    RegisterComClass<CMpeg2Demux>(CLSID_MPEG2Demultiplexer);
    RegisterComClass<CTransportInfoFilter>(CLSID_TransportInformationFilter);
}
