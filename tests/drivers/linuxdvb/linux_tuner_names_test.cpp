// The naming table LinuxTuners.ini: lookups by bus id, kernel name and delivery system, the
// listed names, and garbage survived.
#include "drivers/linuxdvb/linux_tuner_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/fake_dvb_kernel.h"
#include "support/temp_folder.h"

namespace linuxdvb {
namespace {

using testing::FrontendWith;
using testing::VidtvLikeFrontend;

constexpr const char* kTable =
    "\xEF\xBB\xBF; a comment\r\n"
    "[ByPci]\r\n"
    "14f1:8852 = VLK Dune DVBS/S2 Tuner {port}\r\n"
    "0x1131:0X7160=VLK Birch DVBS/S2 Tuner A\r\n"
    "14f1:8852 = ignored: the first entry for a key counts\r\n"
    "[byusb]\n"
    "2040:5510 = VLK Glen USB DVB-S2 Tuner\n"
    "[ByName]\n"
    "  Dummy demod for DVB-T/T2/C/S/S2   =   VLK Elm DVBS/S2 Tuner 2  \n"
    "STV090x Multistandard = VLK Cedar DVBS2 Tuner\n"
    "[Default]\n"
    "DVB-S2 = VLK Fjord DVBS/S2 Tuner 0\n"
    "DVB-S =\n";

DvbFrontendDescription OnBus(DvbFrontendDescription frontend, const char* bus, std::uint16_t vendor,
                             std::uint16_t product) {
    frontend.bus = bus;
    frontend.vendor = vendor;
    frontend.product = product;
    return frontend;
}

std::string NameOf(const CLinuxTunerNames& names, const DvbFrontendDescription& frontend) {
    const auto match = names.Find(frontend);
    return match ? match->name : std::string("<none>");
}

TEST(LinuxTunerNames, FindsByBusIdThenNameThenDefault) {
    const CLinuxTunerNames names = CLinuxTunerNames::Parse(kTable);
    const DvbFrontendDescription s2 = FrontendWith({SYS_DVBS, SYS_DVBS2}, "STV090x Multistandard");
    EXPECT_EQ(NameOf(names, OnBus(s2, "pci", 0x14F1, 0x8852)), "VLK Dune DVBS/S2 Tuner {port}");
    EXPECT_EQ(NameOf(names, OnBus(s2, "pci", 0x1131, 0x7160)), "VLK Birch DVBS/S2 Tuner A");
    EXPECT_EQ(NameOf(names, OnBus(s2, "usb", 0x2040, 0x5510)), "VLK Glen USB DVB-S2 Tuner");
    // A USB id does not match a PCI card of the same numbers, nor the other way round.
    EXPECT_EQ(NameOf(names, OnBus(s2, "usb", 0x14F1, 0x8852)), "VLK Cedar DVBS2 Tuner");
    EXPECT_EQ(NameOf(names, OnBus(s2, "pci", 0x2040, 0x5510)), "VLK Cedar DVBS2 Tuner");
    EXPECT_EQ(NameOf(names, VidtvLikeFrontend()), "VLK Elm DVBS/S2 Tuner 2");
    EXPECT_EQ(NameOf(names, FrontendWith({SYS_DVBS2}, "Unknown demod")),
              "VLK Fjord DVBS/S2 Tuner 0");
    // An empty default turns it off: a DVB-S-only frontend is listed under its kernel name.
    EXPECT_EQ(NameOf(names, FrontendWith({SYS_DVBS}, "Old demod")), "");
    EXPECT_EQ(NameOf(names, FrontendWith({SYS_DVBT, SYS_DVBT2}, "Terrestrial")), "<none>");
}

TEST(LinuxTunerNames, MatchesIdentifyTheEntryForPortNumbers) {
    const CLinuxTunerNames names = CLinuxTunerNames::Parse(kTable);
    const auto pci = names.Find(OnBus(FrontendWith({SYS_DVBS2}), "pci", 0x14F1, 0x8852));
    ASSERT_TRUE(pci);
    EXPECT_EQ(pci->entry, "pci:14f1:8852");
    EXPECT_EQ(names.Find(VidtvLikeFrontend())->entry, "name:Dummy demod for DVB-T/T2/C/S/S2");
    EXPECT_EQ(names.Find(FrontendWith({SYS_DVBS2}))->entry, "default:DVB-S2");
}

TEST(LinuxTunerNames, DefaultsNameEverySatelliteFrontendAsTheGenericModel) {
    const CLinuxTunerNames names = CLinuxTunerNames::Defaults();
    EXPECT_EQ(NameOf(names, VidtvLikeFrontend()), "VLK Arden DVBS/S2 Tuner");
    EXPECT_EQ(NameOf(names, FrontendWith({SYS_DVBS}, "Old demod")), "VLK Arden DVBS/S2 Tuner");
    EXPECT_EQ(NameOf(names, FrontendWith({SYS_DVBC_ANNEX_A}, "Cable")), "<none>");
}

TEST(LinuxTunerNames, ShippedFileEqualsTheDefaults) {
    const CLinuxTunerNames shipped =
        CLinuxTunerNames::Load(std::string(VLK_TEST_PROGRAM_DIR) + "/LinuxTuners.ini");
    for (const auto& frontend :
         {VidtvLikeFrontend(), FrontendWith({SYS_DVBS}), FrontendWith({SYS_DVBS2}, "x"),
          OnBus(FrontendWith({SYS_DVBS2}), "pci", 0x1234, 0x5678)}) {
        EXPECT_EQ(NameOf(shipped, frontend), "VLK Arden DVBS/S2 Tuner") << frontend.name;
    }
}

TEST(LinuxTunerNames, ListedNameKeepsKernelNameAndAdapter) {
    EXPECT_EQ(CLinuxTunerNames::ListedName("VLK Arden DVBS/S2 Tuner", VidtvLikeFrontend()),
              "VLK Arden DVBS/S2 Tuner (Dummy demod for DVB-T/T2/C/S/S2, adapter 0)");
    EXPECT_EQ(CLinuxTunerNames::ListedName("VLK Dune DVBS/S2 Tuner 1", VidtvLikeFrontend(3, 1)),
              "VLK Dune DVBS/S2 Tuner 1 (Dummy demod for DVB-T/T2/C/S/S2, adapter 3, frontend 1)");
    EXPECT_EQ(CLinuxTunerNames::ListedName("", FrontendWith({SYS_DVBS}, "Old demod", 2)),
              "Old demod (adapter 2)");
}

TEST(LinuxTunerNames, ExpandsPortPlaceholders) {
    EXPECT_EQ(CLinuxTunerNames::Expand("VLK Dune DVBS/S2 Tuner {port}", 3),
              "VLK Dune DVBS/S2 Tuner 3");
    EXPECT_EQ(CLinuxTunerNames::Expand("{port}{port}", 1), "11");
    EXPECT_EQ(CLinuxTunerNames::Expand("no placeholder {por", 1), "no placeholder {por");
}

TEST(LinuxTunerNames, MissingOrOversizedFileGivesDefaults) {
    CTempFolder folder;
    EXPECT_EQ(NameOf(CLinuxTunerNames::Load(folder.File("absent.ini")), VidtvLikeFrontend()),
              "VLK Arden DVBS/S2 Tuner");
    const std::string big = folder.File("big.ini");
    {
        std::ofstream out(big, std::ios::binary);
        out << "[ByName]\nDummy demod for DVB-T/T2/C/S/S2 = VLK Cedar DVBS2 Tuner\n";
        out << std::string(CLinuxTunerNames::kMaxFileBytes, ';');
    }
    EXPECT_EQ(NameOf(CLinuxTunerNames::Load(big), VidtvLikeFrontend()), "VLK Arden DVBS/S2 Tuner");
}

TEST(LinuxTunerNames, SkipsWhatItDoesNotUnderstand) {
    const CLinuxTunerNames names = CLinuxTunerNames::Parse(
        "Dummy demod for DVB-T/T2/C/S/S2 = before any section\n"
        "[ByPci\n"
        "14f1:8852 = unterminated section header: no section\n"
        "[ByPci]\n"
        "14f1 = no product\n"
        "14f1:88521 = five digits\n"
        "zz:8852 = not hex\n"
        ":= empty\n"
        "=\n"
        "no equals sign at all\n"
        "[Nonsense]\n"
        "DVB-S2 = in an unknown section\n"
        "[ByName]\n"
        "= no key\n"
        "a=b=c\n");
    EXPECT_FALSE(names.Find(OnBus(FrontendWith({SYS_DVBS2}), "pci", 0x14F1, 0x8852)));
    // Split at the last '=': the key may hold '='.
    EXPECT_EQ(NameOf(names, FrontendWith({SYS_DVBS2}, "a=b")), "c");
}

TEST(LinuxTunerNames, SurvivesGarbage) {
    std::mt19937 random(20240611);
    const std::string alphabet = std::string("[]=;#:\r\n\t {}") + std::string(1, '\0') +
                                 "ByPciUsbNameDefault0123456789abcdefx\xFF\xEF\xBB\xBF";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 400, ' ');
        for (char& c : text) {
            c = random() % 4 == 0 ? static_cast<char>(random() % 256)
                                  : alphabet[random() % alphabet.size()];
        }
        const CLinuxTunerNames names = CLinuxTunerNames::Parse(text);
        const auto match = names.Find(OnBus(VidtvLikeFrontend(), "pci", 0x0123, 0x4567));
        if (match) {
            EXPECT_LE(match->name.size(), text.size());
        }
    }
}

}  // namespace
}  // namespace linuxdvb
