// The naming table LinuxTuners.ini (program folder), parsed from memory as the Linux backend
// parses the file it loads, and the names it gives a few frontends: one on PCI, one on USB, one
// known by its kernel name, a DVB-S2 and a DVB-S frontend that no entry names, and a terrestrial
// one. A name comes from an entry that the frontend's bus and delivery systems allow, every
// "{port}" in it is replaced, and the listed name carries the kernel name and the adapter.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/linux_tuner_names.h"
#include "fuzz_support.h"

namespace {

using linuxdvb::CLinuxTunerNames;
using linuxdvb::DvbFrontendDescription;

std::vector<DvbFrontendDescription> Frontends() {
    const auto make = [](std::string bus, std::uint16_t vendor, std::uint16_t product,
                         std::string name, std::vector<std::uint32_t> systems, int adapter) {
        DvbFrontendDescription frontend;
        frontend.adapter = adapter;
        frontend.frontend = adapter % 2;
        frontend.name = std::move(name);
        frontend.deliverySystems = std::move(systems);
        frontend.bus = std::move(bus);
        frontend.vendor = vendor;
        frontend.product = product;
        return frontend;
    };
    return {
        make("pci", 0x14F1, 0x8852, "CX24117/CX24132", {SYS_DVBS, SYS_DVBS2}, 0),
        make("usb", 0x1234, 0x5678, "STV0903", {SYS_DVBS, SYS_DVBS2}, 1),
        make("", 0, 0, "Dummy demod for DVB-T/T2/C/S/S2", {SYS_DVBT, SYS_DVBS, SYS_DVBS2}, 2),
        make("pci", 0xFFFF, 0x0000, "Other S2", {SYS_DVBS2}, 3),
        make("usb", 0x0000, 0xFFFF, "Old S", {SYS_DVBS}, 4),
        make("", 0, 0, "Terrestrial", {SYS_DVBT}, 5),
    };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<DvbFrontendDescription> frontends = Frontends();
    const CLinuxTunerNames names =
        CLinuxTunerNames::Parse(std::string_view(reinterpret_cast<const char*>(data), size));

    for (const DvbFrontendDescription& frontend : frontends) {
        const auto match = names.Find(frontend);
        if (!match) continue;
        const std::string& entry = match->entry;
        const bool fromBus = entry.starts_with("pci:") || entry.starts_with("usb:");
        FUZZ_CHECK(!fromBus || entry.starts_with(frontend.bus + ":"));
        FUZZ_CHECK(entry != "default:DVB-S2" || linuxdvb::HasDvbS2(frontend));
        FUZZ_CHECK(entry != "default:DVB-S" ||
                   (!linuxdvb::HasDvbS2(frontend) && linuxdvb::IsSatelliteFrontend(frontend)));
        for (int port = 0; port < 3; ++port) {
            const std::string model = CLinuxTunerNames::Expand(match->name, port);
            FUZZ_CHECK(model.find("{port}") == std::string::npos);
            const std::string listed = CLinuxTunerNames::ListedName(model, frontend);
            FUZZ_CHECK(listed.find(frontend.name) != std::string::npos);
            FUZZ_CHECK(listed.find("adapter " + std::to_string(frontend.adapter)) !=
                       std::string::npos);
        }
    }
    return 0;
}
