#include "platform/media/transport_info_filter.h"

#include <gtest/gtest.h>

#include "platform/media/media_types.h"
#include "platform/media/probe_filter.h"
#include "platform/media/sample_pool.h"
#include "platform/media/transport_info_input_pin.h"
#include "platform/media/ts_test_stream.h"
#include "support/test_source_filter.h"

namespace {

using Bytes = CTsTestStream::Bytes;

// Drives the filter's input pin directly, one sample at a time.
struct InfoBench {
    ComPtr<CTransportInfoFilter> info{new CTransportInfoFilter};
    ComPtr<CTestSourceFilter> src{new CTestSourceFilter(
        media::TransportStreamType(), 1, 16, [](BYTE*, LONG, std::uint64_t) { return -1; })};
    CSamplePool pool{1, 188 * 40};

    InfoBench() {
        EXPECT_EQ(src->GetPin(0)->Connect(info->GetPin(0), nullptr), S_OK);
        EXPECT_EQ(info->Pause(), S_OK);
        // One null packet first: the parser takes the stream's first sync byte only once the
        // next packet's confirms it, so every later sample is counted at once.
        CTsTestStream nulls;
        EXPECT_EQ(Send(nulls.Packets(0x1FFF, 1)), S_OK);
    }
    ~InfoBench() { probe::Unplug({src.Get(), info.Get()}); }
    HRESULT Send(const Bytes& bytes) {
        ComPtr<IMediaSample> sample = pool.GetSample();
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        std::copy(bytes.begin(), bytes.end(), p);
        sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
        ComPtr<IMemInputPin> input;
        EXPECT_EQ(ComPtr<IPin>(info->GetPin(0)).As(&input), S_OK);
        return input->Receive(sample.Get());
    }
};

TEST(TransportInfoFilterTest, FindsProgramsAndServices) {
    InfoBench bench;
    CTsTestStream ts;
    Bytes data =
        ts.SectionPackets(0x0000, CTsTestStream::PatSection(0x0042, {{0, 0x10}, {100, 0x0500}}));
    AppendBytes(data, ts.SectionPackets(
                          0x0011, CTsTestStream::SdtSection(0x0042, 0x0013,
                                                            {{100, 0x19, "HD Eins", "Anstalt"},
                                                             {101, 0x02, "Welle", "Anstalt"}})));
    // An SDT of another transport stream on the same PID does not count.
    AppendBytes(data, ts.SectionPackets(0x0011, CTsTestStream::SdtSection(
                                                    0x0099, 0x0013, {{7, 1, "Other", "X"}}, 0x46)));
    EXPECT_EQ(bench.Send(data), S_OK);
    EXPECT_EQ(bench.info->Programs(), (std::vector<PatProgram>{{0, 0x10}, {100, 0x0500}}));
    EXPECT_EQ(bench.info->Services(), (std::vector<SdtService>{{100, 0x19, "HD Eins", "Anstalt"},
                                                               {101, 0x02, "Welle", "Anstalt"}}));
    EXPECT_EQ(bench.info->BadSections(), 0u);
    EXPECT_EQ(bench.info->Counters().packetsPerPid,
              (std::map<std::uint16_t, std::uint64_t>{{0x0000, 1}, {0x0011, 2}, {0x1FFF, 1}}));
}

TEST(TransportInfoFilterTest, RefusesBadCrcsAndForgetsServicesOfAnotherStream) {
    InfoBench bench;
    CTsTestStream ts;
    Bytes sdt = CTsTestStream::SdtSection(1, 1, {{1, 1, "Before", "P"}});
    EXPECT_EQ(bench.Send(ts.SectionPackets(0x11, sdt)), S_OK);
    EXPECT_EQ(bench.info->Services().size(), 1u);

    Bytes corrupt = CTsTestStream::SdtSection(1, 1, {{2, 1, "Broken", "P"}});
    corrupt[20] ^= 0xFF;
    EXPECT_EQ(bench.Send(ts.SectionPackets(0x11, corrupt)), S_OK);
    EXPECT_EQ(bench.info->BadSections(), 1u);
    EXPECT_EQ(bench.info->Services(), (std::vector<SdtService>{{1, 1, "Before", "P"}}));

    // A retune: another transport stream id replaces the list.
    EXPECT_EQ(bench.Send(
                  ts.SectionPackets(0x11, CTsTestStream::SdtSection(2, 1, {{9, 1, "After", "Q"}}))),
              S_OK);
    EXPECT_EQ(bench.info->Services(), (std::vector<SdtService>{{9, 1, "After", "Q"}}));
}

TEST(TransportInfoFilterTest, TakesOnlyTransportStreamsAndRefusesSamplesWhenStopped) {
    InfoBench bench;
    CBasePin* input = bench.info->GetPin(0);
    AM_MEDIA_TYPE other;
    other.majortype = MEDIATYPE_Stream;
    EXPECT_EQ(input->QueryAccept(&other), S_FALSE);
    EXPECT_EQ(bench.info->Stop(), S_OK);
    CTsTestStream ts;
    EXPECT_EQ(bench.Send(ts.Packets(0x11, 1)), VFW_E_WRONG_STATE);
    CLSID clsid;
    bench.info->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_TransportInformationFilter);
}

}  // namespace
