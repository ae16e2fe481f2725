#include "platform/bda/bda_classes.h"

#include "platform/bda/dvbs_locator.h"
#include "platform/bda/dvbs_network_provider.h"
#include "platform/bda/dvbs_tuning_space.h"
#include "platform/bda/system_tuning_spaces.h"
#include "platform/com/class_registry.h"

void RegisterBdaClasses() {
    RegisterComClass<CSystemTuningSpaces>(CLSID_SystemTuningSpaces);
    RegisterComClass<CDVBSTuningSpace>(CLSID_DVBSTuningSpace);
    RegisterComClass<CDVBSLocator>(CLSID_DVBSLocator);
    RegisterComClass<CDVBSNetworkProvider>(CLSID_DVBSNetworkProvider);
}
