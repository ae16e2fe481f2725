#pragma once
// Makes the media-graph stand-ins creatable through CoCreateInstance: CLSID_FilterGraph,
// CLSID_InfTee, CLSID_MPEG2Demultiplexer and CLSID_TransportInformationFilter.
void RegisterMediaClasses();
