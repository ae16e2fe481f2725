// The carrier report: the driver's 72-byte media-info record, as the status thread gets it from
// the PCI-E or the USB property set, decoded into the texts of the main window's lower half, with
// the extended codes of the x-model cards or without. Input: one byte of flags (bit 0 x-model,
// bit 1 USB carrier), then the record (missing bytes are 0). Every box gets a text, and the
// numbers shown are the record's little-endian fields.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "graph/tuner_session.h"
#include "platform/com/com_ptr.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "status/stream_info.h"
#include "support/fake_ks_property_set.h"

namespace {

class CRecordingView : public IStreamInfoView {
public:
    void SetText(int controlId, const std::string& text) override { texts[controlId] = text; }
    void AddInputStreamId(const std::string& identifier, std::uint64_t /*tune*/) override {
        identifiers.push_back(identifier);
    }
    void ShowDriverReports(const DriverReports& shown) override {
        reports.insert(reports.end(), shown.begin(), shown.end());
    }

    std::map<int, std::string> texts;
    std::vector<std::string> identifiers;
    DriverReports reports;
};

// Each carrier's property set, supporting its media-info property (the USB one also the probe
// that tells the carriers apart).
ComPtr<CFakeKsPropertySet> MakeDriver(bool usb) {
    ComPtr<CFakeKsPropertySet> driver(new CFakeKsPropertySet);
    if (usb) {
        driver->Support(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT);
        driver->Support(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO);
    } else {
        driver->Support(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO);
    }
    return driver;
}

void Install(CTunerSession& session, const ComPtr<CFakeKsPropertySet>& driver) {
    driver->AddRef();  // the handle takes over a reference
    session.m_BDAGraph.m_pKsCtrl.Attach(driver.Get());
}

std::int32_t Field(const std::uint8_t* record, std::size_t index) {
    const std::uint8_t* p = record + 4 * index;
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ComPtr<CFakeKsPropertySet> pciE = MakeDriver(false);
    static const ComPtr<CFakeKsPropertySet> usb = MakeDriver(true);
    static CTunerSession session;

    fuzz::CByteReader input({data, size});
    const std::uint8_t flags = input.U8();
    std::vector<std::uint8_t> record(MediaInfoRecord::kSize);
    input.Bytes(record.data(), record.size());

    const bool isUsb = (flags & 2) != 0;
    const ComPtr<CFakeKsPropertySet>& driver = isUsb ? usb : pciE;
    driver->ClearCalls();
    driver->Reply(isUsb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt,
                  isUsb ? KSPROPERTY_CTRL_GET_MEDIAINFO : KSPROPERTY_BDA_GET_MEDIAINFO, record);
    Install(session, driver);
    session.m_BDAGraph.m_bXModel = (flags & 1) != 0 ? 1 : 0;

    CRecordingView view;
    FUZZ_CHECK(UpdateStreamInfo(session, true, view) == 1);
    FUZZ_CHECK(view.reports.empty());
    using namespace stream_info_ids;
    for (const int id : {kStreamType, kModulation, kInputStream, kCodingModulation, kInputSynchro,
                         kNullPacketDeletion, kRollOff, kFec, kMatype, kIfFrequency, kSymbolRate,
                         kStandard, kSpectrum, kFrameLength, kPilots}) {
        FUZZ_CHECK(!view.texts[id].empty());
    }
    FUZZ_CHECK(view.texts[kIfFrequency] == std::to_string(Field(record.data(), 0)));
    FUZZ_CHECK(view.texts[kSymbolRate] == std::to_string(Field(record.data(), 1)));
    const bool multiple = Field(record.data(), 7) == 0;
    FUZZ_CHECK(view.identifiers.size() == (multiple ? 1u : 0u));
    if (multiple) FUZZ_CHECK(view.identifiers.front() == std::to_string(Field(record.data(), 12)));
    session.m_BDAGraph.m_pKsCtrl.Reset();
    return 0;
}
