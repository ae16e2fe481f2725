#include "platform/bda/dvb_tune_request.h"

#include <gtest/gtest.h>

#include "platform/bda/dvbs_locator.h"
#include "platform/bda/dvbs_tuning_space.h"
#include "platform/com/com_ptr.h"

namespace {

ComPtr<IDVBTuneRequest> RequestOn(IDVBSTuningSpace* space) {
    ComPtr<ITuneRequest> request;
    EXPECT_EQ(space->CreateTuneRequest(request.ReleaseAndGetAddressOf()), S_OK);
    return request.As<IDVBTuneRequest>();
}

TEST(DVBTuneRequestTest, ServiceIdentifiersStartNotSetAndAreKeptApart) {
    ComPtr<CDVBSTuningSpace> space(new CDVBSTuningSpace());
    const auto request = RequestOn(space.Get());
    ASSERT_TRUE(request);
    LONG onid = 0, tsid = 0, sid = 0;
    request->get_ONID(&onid);
    request->get_TSID(&tsid);
    request->get_SID(&sid);
    EXPECT_EQ(onid, -1);
    EXPECT_EQ(tsid, -1);
    EXPECT_EQ(sid, -1);
    request->put_ONID(1);
    request->put_TSID(1089);
    request->put_SID(28006);
    request->get_ONID(&onid);
    request->get_TSID(&tsid);
    request->get_SID(&sid);
    EXPECT_EQ(onid, 1);
    EXPECT_EQ(tsid, 1089);
    EXPECT_EQ(sid, 28006);
}

TEST(DVBTuneRequestTest, PutLocatorKeepsTheCallersObjectAndNullRemovesIt) {
    ComPtr<CDVBSTuningSpace> space(new CDVBSTuningSpace());
    const auto request = RequestOn(space.Get());
    ComPtr<CDVBSLocator> locator(new CDVBSLocator());
    ASSERT_EQ(request->put_Locator(locator.Get()), S_OK);
    // A change after put_Locator reaches the request: it holds the object, not a copy.
    locator->put_CarrierFrequency(12188000);
    ComPtr<ILocator> held;
    ASSERT_EQ(request->get_Locator(held.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(held.Get(), static_cast<ILocator*>(locator.Get()));
    LONG frequency = 0;
    held->get_CarrierFrequency(&frequency);
    EXPECT_EQ(frequency, 12188000);

    ASSERT_EQ(request->put_Locator(nullptr), S_OK);
    ASSERT_EQ(request->get_Locator(held.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_FALSE(held);
}

TEST(DVBTuneRequestTest, CloneSharesTheTuningSpaceButCopiesLocatorAndIdentifiers) {
    ComPtr<CDVBSTuningSpace> space(new CDVBSTuningSpace());
    const auto request = RequestOn(space.Get());
    ComPtr<CDVBSLocator> locator(new CDVBSLocator());
    locator->put_SymbolRate(27500);
    locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_H);
    request->put_Locator(locator.Get());
    request->put_SID(7);

    ComPtr<ITuneRequest> copy;
    ASSERT_EQ(request->Clone(copy.ReleaseAndGetAddressOf()), S_OK);
    const auto dvbCopy = copy.As<IDVBTuneRequest>();
    ASSERT_TRUE(dvbCopy);
    ComPtr<ITuningSpace> copySpace;
    dvbCopy->get_TuningSpace(copySpace.ReleaseAndGetAddressOf());
    EXPECT_EQ(copySpace.Get(), static_cast<ITuningSpace*>(space.Get()));
    LONG sid = 0;
    dvbCopy->get_SID(&sid);
    EXPECT_EQ(sid, 7);

    ComPtr<ILocator> copyLocator;
    dvbCopy->get_Locator(copyLocator.ReleaseAndGetAddressOf());
    ASSERT_TRUE(copyLocator);
    EXPECT_NE(copyLocator.Get(), static_cast<ILocator*>(locator.Get()));
    locator->put_SymbolRate(22000);
    LONG rate = 0;
    copyLocator->get_SymbolRate(&rate);
    EXPECT_EQ(rate, 27500);
    Polarisation polarisation = BDA_POLARISATION_NOT_SET;
    copyLocator.As<IDVBSLocator>()->get_SignalPolarisation(&polarisation);
    EXPECT_EQ(polarisation, BDA_POLARISATION_LINEAR_H);
}

}  // namespace
