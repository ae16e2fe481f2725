#include "platform/media/base_pin.h"

#include <gtest/gtest.h>

#include "platform/media/base_filter.h"
#include "platform/media/probe_filter.h"

namespace {

using probe::Input;
using probe::kTypeA;
using probe::kTypeB;
using probe::kTypeC;
using probe::Output;

// Two probe filters, "up" with one output and "down" with one input.
struct PinPair {
    CProbeLog log;
    ComPtr<CProbeFilter> up;
    ComPtr<CProbeFilter> down;
    CBasePin* out = nullptr;
    CBasePin* in = nullptr;

    PinPair(ProbePinSetup outSetup, ProbePinSetup inSetup)
        : up(new CProbeFilter("up", &log, {std::move(outSetup)})),
          down(new CProbeFilter("down", &log, {std::move(inSetup)})),
          out(up->GetPin(0)),
          in(down->GetPin(0)) {}
    ~PinPair() { probe::Unplug({up.Get(), down.Get()}); }

    AM_MEDIA_TYPE TypeOf(CBasePin* pin) {
        AM_MEDIA_TYPE mt;
        EXPECT_EQ(pin->ConnectionMediaType(&mt), S_OK);
        return mt;
    }
};

void ExpectFree(IPin* pin) {
    IPin* partner = reinterpret_cast<IPin*>(0x1);
    EXPECT_EQ(pin->ConnectedTo(&partner), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(partner, nullptr);
    AM_MEDIA_TYPE mt = kTypeA;
    EXPECT_EQ(pin->ConnectionMediaType(&mt), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(mt, AM_MEDIA_TYPE{});
}

struct NegotiationCase {
    const char* name;
    std::vector<AM_MEDIA_TYPE> outOffers, outAccepts, inOffers, inAccepts;
    HRESULT expected;
    AM_MEDIA_TYPE agreed;
};

class NegotiationTest : public ::testing::TestWithParam<NegotiationCase> {};

TEST_P(NegotiationTest, AgreesOnTheFirstTypeBothAcceptReceiverFirst) {
    const NegotiationCase& c = GetParam();
    PinPair pins(Output(L"Out", c.outOffers, c.outAccepts), Input(L"In", c.inOffers, c.inAccepts));
    EXPECT_EQ(pins.out->Connect(pins.in, nullptr), c.expected);
    if (c.expected == S_OK) {
        EXPECT_EQ(pins.TypeOf(pins.out), c.agreed);
        EXPECT_EQ(pins.TypeOf(pins.in), c.agreed);
        EXPECT_EQ(pins.out->GetConnected(), static_cast<IPin*>(pins.in));
        EXPECT_EQ(pins.in->GetConnected(), static_cast<IPin*>(pins.out));
    } else {
        ExpectFree(pins.out);
        ExpectFree(pins.in);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, NegotiationTest,
    ::testing::Values(
        NegotiationCase{
            "ReceiverPreferenceWins", {kTypeA, kTypeB}, {}, {kTypeB, kTypeA}, {}, S_OK, kTypeB},
        NegotiationCase{
            "OwnTypesWhenReceiverOffersNone", {kTypeA, kTypeB}, {}, {}, {kTypeB}, S_OK, kTypeB},
        NegotiationCase{"ReceiverTypeRefusedByOutputSkipped",
                        {kTypeC},
                        {kTypeC},
                        {kTypeA, kTypeC},
                        {},
                        S_OK,
                        kTypeC},
        NegotiationCase{
            "NoCommonType", {kTypeA}, {kTypeA}, {kTypeB}, {kTypeB}, VFW_E_NO_ACCEPTABLE_TYPES, {}},
        NegotiationCase{"NobodyOffersAnything", {}, {}, {}, {}, VFW_E_NO_ACCEPTABLE_TYPES, {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BasePinTest, AFullTypeIsTriedExactlyAndAPartialOneFilters) {
    {
        PinPair pins(Output(L"Out", {kTypeA, kTypeB}), Input(L"In", {kTypeA}));
        EXPECT_EQ(pins.out->Connect(pins.in, &kTypeB), S_OK);
        EXPECT_EQ(pins.TypeOf(pins.in), kTypeB) << "the given full type, not the receiver's first";
    }
    {
        PinPair pins(Output(L"Out", {}, {kTypeA}), Input(L"In"));
        EXPECT_EQ(pins.out->Connect(pins.in, &kTypeB), VFW_E_TYPE_NOT_ACCEPTED);
        ExpectFree(pins.out);
    }
    {
        // Only the major type given: the candidates must match it.
        AM_MEDIA_TYPE partial;
        partial.majortype = kTypeB.majortype;
        PinPair pins(Output(L"Out", {kTypeA, kTypeB}), Input(L"In", {kTypeA}));
        EXPECT_EQ(pins.out->Connect(pins.in, &partial), S_OK);
        EXPECT_EQ(pins.TypeOf(pins.out), kTypeB);
    }
}

TEST(BasePinTest, HooksRunInProtocolOrderOnBothSides) {
    PinPair pins(Output(L"Out", {kTypeA}), Input(L"In"));
    ASSERT_EQ(pins.out->Connect(pins.in, nullptr), S_OK);
    EXPECT_EQ(pins.log.Take(),
              (std::vector<std::string>{"up.Out.CheckConnect", "up.Out.CheckMediaType",
                                        "up.Out.SetMediaType", "down.In.CheckConnect",
                                        "down.In.CheckMediaType", "down.In.SetMediaType",
                                        "down.In.CompleteConnect", "up.Out.CompleteConnect"}));
    EXPECT_EQ(pins.in->Disconnect(), S_OK);
    EXPECT_EQ(pins.in->Disconnect(), S_FALSE) << "already free";
    EXPECT_EQ(pins.log.Take(), std::vector<std::string>{"down.In.BreakConnect"});
    EXPECT_EQ(pins.out->GetConnected(), static_cast<IPin*>(pins.in)) << "one side only";
    EXPECT_EQ(pins.out->Disconnect(), S_OK);
    ExpectFree(pins.out);
    ExpectFree(pins.in);
}

TEST(BasePinTest, AFailedCompletionOnTheInputUndoesBothSides) {
    ProbePinSetup in = Input(L"In");
    in.completeConnectResult = E_ABORT;
    PinPair pins(Output(L"Out", {kTypeA}), in);
    EXPECT_EQ(pins.out->Connect(pins.in, nullptr), E_ABORT);
    ExpectFree(pins.out);
    ExpectFree(pins.in);
    EXPECT_FALSE(pins.log.Filtered("up.Out.BreakConnect").empty());
    EXPECT_FALSE(pins.log.Filtered("down.In.BreakConnect").empty());
}

TEST(BasePinTest, DirectionRule) {
    CProbeLog log;
    ComPtr<CProbeFilter> a(new CProbeFilter("a", &log, {Output(L"Out", {kTypeA}), Input(L"In")}));
    ComPtr<CProbeFilter> b(new CProbeFilter("b", &log, {Output(L"Out", {kTypeA}), Input(L"In")}));
    CBasePin* aOut = a->GetPin(0);
    CBasePin* aIn = a->GetPin(1);
    CBasePin* bOut = b->GetPin(0);
    CBasePin* bIn = b->GetPin(1);
    EXPECT_EQ(aOut->Connect(bOut, nullptr), VFW_E_INVALID_DIRECTION) << "output to output";
    EXPECT_EQ(aIn->Connect(bOut, nullptr), VFW_E_INVALID_DIRECTION) << "an input does not connect";
    EXPECT_EQ(aIn->Connect(bIn, nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(bOut->ReceiveConnection(aOut, &kTypeA), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(bIn->ReceiveConnection(aIn, &kTypeA), VFW_E_INVALID_DIRECTION);
    for (CBasePin* pin : {aOut, aIn, bOut, bIn}) ExpectFree(pin);
    EXPECT_EQ(aOut->Connect(bIn, nullptr), S_OK);
    probe::Unplug({a.Get(), b.Get()});
}

TEST(BasePinTest, AConnectedOrRunningPinRefusesChanges) {
    PinPair pins(Output(L"Out", {kTypeA}), Input(L"In"));
    ASSERT_EQ(pins.out->Connect(pins.in, nullptr), S_OK);
    CProbeLog log;
    ComPtr<CProbeFilter> other(
        new CProbeFilter("other", &log, {Input(L"In"), Output(L"Out", {kTypeA})}));
    EXPECT_EQ(pins.out->Connect(other->GetPin(0), nullptr), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(pins.in->ReceiveConnection(other->GetPin(1), &kTypeA), VFW_E_ALREADY_CONNECTED);

    ASSERT_EQ(pins.down->Pause(), S_OK);
    EXPECT_EQ(pins.in->Disconnect(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(other->GetPin(1)->Connect(pins.down->GetPin(0), nullptr), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(other->Pause(), S_OK);
    PinPair fresh(Output(L"Out", {kTypeA}), Input(L"In"));
    EXPECT_EQ(other->GetPin(1)->Connect(fresh.in, nullptr), VFW_E_NOT_STOPPED);
    EXPECT_EQ(fresh.in->ReceiveConnection(other->GetPin(1), &kTypeA), S_OK)
        << "the receiving pin's filter is stopped";
    probe::Unplug({other.Get(), fresh.down.Get()});
}

TEST(BasePinTest, QueriesAnswerForThePin) {
    PinPair pins(Output(L"Out", {kTypeA, kTypeB}, {kTypeA, kTypeB}), Input(L"In"));
    PIN_INFO info;
    ASSERT_EQ(pins.out->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(info.pFilter.Get(), static_cast<IBaseFilter*>(pins.up.Get()));
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(info.achName, L"Out");
    std::wstring id;
    EXPECT_EQ(pins.in->QueryId(&id), S_OK);
    EXPECT_EQ(id, L"In");
    PIN_DIRECTION dir = PINDIR_OUTPUT;
    EXPECT_EQ(pins.in->QueryDirection(&dir), S_OK);
    EXPECT_EQ(dir, PINDIR_INPUT);
    EXPECT_EQ(pins.out->QueryAccept(&kTypeB), S_OK);
    EXPECT_EQ(pins.out->QueryAccept(&kTypeC), S_FALSE);

    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(pins.out->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
    AM_MEDIA_TYPE got[3];
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(3, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(got[0], kTypeA);
    EXPECT_EQ(got[1], kTypeB);
    EXPECT_EQ(types->Reset(), S_OK);
    EXPECT_EQ(types->Skip(1), S_OK);
    EXPECT_EQ(types->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0], kTypeB);
    EXPECT_EQ(types->Skip(1), S_FALSE);

    EXPECT_EQ(pins.out->EndOfStream(), E_UNEXPECTED) << "output pins do not take stream events";
    EXPECT_EQ(pins.out->BeginFlush(), E_UNEXPECTED);
    EXPECT_EQ(pins.out->EndFlush(), E_UNEXPECTED);
    EXPECT_EQ(pins.out->NewSegment(0, 1, 1.0), E_UNEXPECTED);
}

TEST(BasePinTest, APinReferenceKeepsItsFilterAlive) {
    const int before = CProbeFilter::Live();
    ComPtr<IPin> pin;
    {
        ComPtr<CProbeFilter> filter(new CProbeFilter("f", nullptr, {Input(L"In")}));
        EXPECT_EQ(CProbeFilter::Live(), before + 1);
        ASSERT_EQ(filter->FindPin(L"In", pin.ReleaseAndGetAddressOf()), S_OK);
        ComPtr<IMemInputPin> memInput;
        EXPECT_EQ(pin.As(&memInput), S_OK) << "an input pin answers IMemInputPin";
        ComPtr<IBaseFilter> notPin;
        EXPECT_EQ(pin.As(&notPin), E_NOINTERFACE) << "a pin is not its filter";
    }
    EXPECT_EQ(CProbeFilter::Live(), before + 1) << "held through the pin";
    std::wstring id;
    EXPECT_EQ(pin->QueryId(&id), S_OK);
    pin.Reset();
    EXPECT_EQ(CProbeFilter::Live(), before);
}

}  // namespace
