#include "platform/bda/dvbs_tuning_space.h"

#include <gtest/gtest.h>

#include "platform/bda/bda_classes.h"
#include "platform/bda/dvbs_locator.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"

namespace {

ComPtr<IDVBSTuningSpace> NewSpace() {
    RegisterBdaClasses();
    ComPtr<IDVBTuningSpace2> space;
    EXPECT_EQ(CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                               space.ReleaseAndGetAddressOf()),
              S_OK);
    return space.As<IDVBSTuningSpace>();
}

TEST(DVBSTuningSpaceTest, ANewTuningSpaceHasNothingSet) {
    const auto space = NewSpace();
    ASSERT_TRUE(space);
    std::wstring text = L"x";
    space->get_UniqueName(&text);
    EXPECT_EQ(text, L"");
    space->get_InputRange(&text);
    EXPECT_EQ(text, L"");
    LONG low = 0, high = 0, lnbSwitch = 0, networkId = 0;
    space->get_LowOscillator(&low);
    space->get_HighOscillator(&high);
    space->get_LNBSwitch(&lnbSwitch);
    space->get_NetworkID(&networkId);
    EXPECT_EQ(low, -1);
    EXPECT_EQ(high, -1);
    EXPECT_EQ(lnbSwitch, -1);
    EXPECT_EQ(networkId, -1);
    SpectralInversion inversion = BDA_SPECTRAL_INVERSION_NORMAL;
    space->get_SpectralInversion(&inversion);
    EXPECT_EQ(inversion, BDA_SPECTRAL_INVERSION_NOT_SET);
    CLSID type = CLSID_DVBSLocator;
    space->get__NetworkType(&type);
    EXPECT_EQ(type, GUID_NULL);
    ComPtr<ILocator> locator;
    EXPECT_EQ(space->get_DefaultLocator(locator.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_FALSE(locator);
}

TEST(DVBSTuningSpaceTest, NetworkTypeTextIsUpperCaseAndRoundTripsThroughCLSIDFromString) {
    const auto space = NewSpace();
    ASSERT_EQ(space->put__NetworkType(CLSID_DVBSNetworkProvider), S_OK);
    std::wstring text;
    ASSERT_EQ(space->get_NetworkType(&text), S_OK);
    EXPECT_EQ(text, L"{FA4B375A-45B4-4D45-8440-263957B11623}");
    CLSID parsed;
    ASSERT_EQ(CLSIDFromString(text, &parsed), S_OK);
    EXPECT_EQ(parsed, CLSID_DVBSNetworkProvider);

    // The text setter takes either case and sets the identifier the getter reads.
    ASSERT_EQ(space->put_NetworkType(L"{1df7d126-4050-47f0-a7cf-4c4ca9241333}"), S_OK);
    CLSID type;
    space->get__NetworkType(&type);
    EXPECT_EQ(type, CLSID_DVBSLocator);
}

TEST(DVBSTuningSpaceTest, NetworkTypeTextThatIsNoIdentifierIsRefusedAndChangesNothing) {
    const auto space = NewSpace();
    space->put__NetworkType(CLSID_DVBSNetworkProvider);
    for (const wchar_t* bad :
         {L"", L"FA4B375A-45B4-4D45-8440-263957B11623", L"{FA4B375A-45B4-4D45-8440-263957B1162}",
          L"{FA4B375A-45B4-4D45-8440-263957B1162G}", L"DVB-S"}) {
        EXPECT_EQ(space->put_NetworkType(bad), E_INVALIDARG) << std::wstring(bad).size();
    }
    CLSID type;
    space->get__NetworkType(&type);
    EXPECT_EQ(type, CLSID_DVBSNetworkProvider);
}

TEST(DVBSTuningSpaceTest, CreateTuneRequestCarriesACloneOfTheDefaultLocator) {
    const auto space = NewSpace();
    ComPtr<ITuneRequest> bare;
    ASSERT_EQ(space->CreateTuneRequest(bare.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<ILocator> none;
    bare->get_Locator(none.ReleaseAndGetAddressOf());
    EXPECT_FALSE(none);

    ComPtr<CDVBSLocator> locator(new CDVBSLocator());
    locator->put_CarrierFrequency(11778000);
    locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_V);
    ASSERT_EQ(space->put_DefaultLocator(locator.Get()), S_OK);

    ComPtr<ITuneRequest> request;
    ASSERT_EQ(space->CreateTuneRequest(request.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_TRUE(request.As<IDVBTuneRequest>());
    ComPtr<ITuningSpace> owner;
    request->get_TuningSpace(owner.ReleaseAndGetAddressOf());
    EXPECT_EQ(owner.Get(), static_cast<ITuningSpace*>(space.Get()));
    ComPtr<ILocator> carried;
    request->get_Locator(carried.ReleaseAndGetAddressOf());
    ASSERT_TRUE(carried);
    EXPECT_NE(carried.Get(), static_cast<ILocator*>(locator.Get()));
    LONG frequency = 0;
    carried->get_CarrierFrequency(&frequency);
    EXPECT_EQ(frequency, 11778000);
    // Tuning with the request must not alter the tuning space's default.
    carried->put_CarrierFrequency(10714000);
    locator->get_CarrierFrequency(&frequency);
    EXPECT_EQ(frequency, 11778000);
}

TEST(DVBSTuningSpaceTest, AnUnstoredTuningSpaceMayBeRenamed) {
    const auto space = NewSpace();
    EXPECT_EQ(space->put_UniqueName(L"first"), S_OK);
    EXPECT_EQ(space->put_UniqueName(L"second"), S_OK);
    std::wstring name;
    space->get_UniqueName(&name);
    EXPECT_EQ(name, L"second");
}

}  // namespace
