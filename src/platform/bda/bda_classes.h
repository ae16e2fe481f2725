#pragma once
// Makes the broadcast tuning objects creatable with CoCreateInstance.

// Registers CLSID_SystemTuningSpaces, CLSID_DVBSTuningSpace, CLSID_DVBSLocator and
// CLSID_DVBSNetworkProvider. Registering again replaces the entries with the same classes.
void RegisterBdaClasses();
