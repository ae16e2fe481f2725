#include <gtest/gtest.h>

#include "drivers/kit/bda_capture_input_pin.h"
#include "drivers/kit/bda_tuner_input_pin.h"
#include "drivers/kit/bda_tuner_output_pin.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"
#include "support/fake_filter.h"

namespace {

constexpr GUID kMedium = com::MakeGuid("{0B1D0000-0000-4000-8000-00000000C001}");
constexpr GUID kOtherMedium = com::MakeGuid("{0B1D0000-0000-4000-8000-00000000C002}");

AM_MEDIA_TYPE Type(const GUID& major, const GUID& sub) {
    AM_MEDIA_TYPE type;
    type.majortype = major;
    type.subtype = sub;
    return type;
}

TEST(BdaTunerPinsTest, EachPinTakesOnlyItsOwnLink) {
    ComPtr<CFakeFilter> filter(new CFakeFilter({}));
    CCritSec lock;
    CBdaTunerInputPin input(L"input", filter.Get(), &lock);
    CBdaTunerOutputPin output(L"output", filter.Get(), &lock, kMedium);
    CBdaCaptureInputPin capture(L"capture", filter.Get(), &lock, kMedium);

    PIN_DIRECTION direction = PINDIR_OUTPUT;
    input.QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_INPUT);
    output.QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_OUTPUT);

    AM_MEDIA_TYPE offered;
    const AM_MEDIA_TYPE antenna = Type(KSDATAFORMAT_TYPE_BDA_ANTENNA, CLSID_DVBSNetworkProvider);
    EXPECT_EQ(input.CheckMediaType(&antenna), S_OK);
    const AM_MEDIA_TYPE otherProvider = Type(KSDATAFORMAT_TYPE_BDA_ANTENNA, kOtherMedium);
    EXPECT_EQ(input.CheckMediaType(&otherProvider), S_FALSE);
    EXPECT_EQ(input.CheckMediaType(nullptr), E_POINTER);

    const AM_MEDIA_TYPE ours = CBdaTunerOutputPin::MediumType(kMedium);
    EXPECT_EQ(ours.majortype, KSDATAFORMAT_TYPE_STREAM);
    EXPECT_EQ(ours.formattype, KSDATAFORMAT_SPECIFIER_BDA_TRANSPORT);
    EXPECT_EQ(output.CheckMediaType(&ours), S_OK);
    const AM_MEDIA_TYPE anotherCard = CBdaTunerOutputPin::MediumType(kOtherMedium);
    EXPECT_EQ(output.CheckMediaType(&anotherCard), S_FALSE) << "another card's capture filter";
    EXPECT_EQ(output.CheckMediaType(&antenna), S_FALSE);
    EXPECT_EQ(capture.CheckMediaType(&ours), S_OK);
    EXPECT_EQ(capture.CheckMediaType(&anotherCard), S_FALSE) << "another card's tuner";
    EXPECT_EQ(capture.CheckMediaType(&antenna), S_FALSE);
    EXPECT_EQ(capture.GetMediaType(0, &offered), VFW_S_NO_MORE_ITEMS)
        << "offers no type of its own";

    // The tuner's pins offer exactly one type: the one they take.
    EXPECT_EQ(input.GetMediaType(0, &offered), S_OK);
    EXPECT_EQ(offered, antenna);
    EXPECT_EQ(output.GetMediaType(0, &offered), S_OK);
    EXPECT_EQ(offered, ours);
    EXPECT_EQ(input.GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(output.GetMediaType(-1, &offered), E_INVALIDARG);
    EXPECT_EQ(output.GetMediaType(0, nullptr), E_POINTER);
}

}  // namespace
