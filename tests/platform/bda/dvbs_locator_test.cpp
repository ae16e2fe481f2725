#include "platform/bda/dvbs_locator.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/bda/bda_classes.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"

namespace {

ComPtr<IDVBSLocator> NewLocator() {
    RegisterBdaClasses();
    ComPtr<IDVBSLocator> locator;
    EXPECT_EQ(CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                               locator.ReleaseAndGetAddressOf()),
              S_OK);
    return locator;
}

// One property as a pair of accessors over LONG, so every property runs through one table.
struct LocatorProperty {
    const char* name;
    std::function<HRESULT(IDVBSLocator*, LONG*)> get;
    std::function<HRESULT(IDVBSLocator*, LONG)> put;
    LONG notSet;
    LONG sample;
};

template <typename E>
LocatorProperty EnumProperty(const char* name, HRESULT (IDVBSLocator::*get)(E*),
                             HRESULT (IDVBSLocator::*put)(E), LONG notSet, E sample) {
    return {name,
            [get](IDVBSLocator* l, LONG* out) {
                E value{};
                const HRESULT hr = (l->*get)(&value);
                *out = value;
                return hr;
            },
            [put](IDVBSLocator* l, LONG value) { return (l->*put)(static_cast<E>(value)); }, notSet,
            static_cast<LONG>(sample)};
}

std::vector<LocatorProperty> AllProperties() {
    using L = IDVBSLocator;
    return {
        EnumProperty<LONG>("CarrierFrequency", &L::get_CarrierFrequency, &L::put_CarrierFrequency,
                           -1, 11778000),
        EnumProperty<FECMethod>("InnerFEC", &L::get_InnerFEC, &L::put_InnerFEC, -1,
                                BDA_FEC_VITERBI),
        EnumProperty<BinaryConvolutionCodeRate>("InnerFECRate", &L::get_InnerFECRate,
                                                &L::put_InnerFECRate, -1, BDA_BCC_RATE_3_4),
        EnumProperty<FECMethod>("OuterFEC", &L::get_OuterFEC, &L::put_OuterFEC, -1,
                                BDA_FEC_RS_204_188),
        EnumProperty<BinaryConvolutionCodeRate>("OuterFECRate", &L::get_OuterFECRate,
                                                &L::put_OuterFECRate, -1, BDA_BCC_RATE_7_8),
        EnumProperty<ModulationType>("Modulation", &L::get_Modulation, &L::put_Modulation, -1,
                                     BDA_MOD_8PSK),
        EnumProperty<LONG>("SymbolRate", &L::get_SymbolRate, &L::put_SymbolRate, -1, 27500),
        EnumProperty<Polarisation>("SignalPolarisation", &L::get_SignalPolarisation,
                                   &L::put_SignalPolarisation, -1, BDA_POLARISATION_LINEAR_V),
        EnumProperty<BOOL>("WestPosition", &L::get_WestPosition, &L::put_WestPosition, FALSE, TRUE),
        EnumProperty<LONG>("OrbitalPosition", &L::get_OrbitalPosition, &L::put_OrbitalPosition, -1,
                           192),
        EnumProperty<LONG>("Azimuth", &L::get_Azimuth, &L::put_Azimuth, -1, 170),
        EnumProperty<LONG>("Elevation", &L::get_Elevation, &L::put_Elevation, -1, 31),
    };
}

TEST(DVBSLocatorTest, EveryPropertyStartsNotSetAndKeepsWhatIsPutIndependently) {
    const auto locator = NewLocator();
    ASSERT_TRUE(locator);
    const auto properties = AllProperties();
    for (const auto& property : properties) {
        LONG value = 12345;
        ASSERT_EQ(property.get(locator.Get(), &value), S_OK) << property.name;
        EXPECT_EQ(value, property.notSet) << property.name;
    }
    // Each put changes only its own property: a shared or swapped field shows here.
    for (std::size_t i = 0; i < properties.size(); ++i) {
        ASSERT_EQ(properties[i].put(locator.Get(), properties[i].sample), S_OK);
        for (std::size_t j = 0; j < properties.size(); ++j) {
            LONG value = 0;
            properties[j].get(locator.Get(), &value);
            EXPECT_EQ(value, j <= i ? properties[j].sample : properties[j].notSet)
                << properties[i].name << " then " << properties[j].name;
        }
    }
}

TEST(DVBSLocatorTest, CloneCopiesEveryValueAndThenGoesItsOwnWay) {
    const auto locator = NewLocator();
    const auto properties = AllProperties();
    for (const auto& property : properties) property.put(locator.Get(), property.sample);

    ComPtr<ILocator> copy;
    ASSERT_EQ(locator->Clone(copy.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_NE(copy.Get(), static_cast<ILocator*>(locator.Get()));
    const auto dvbsCopy = copy.As<IDVBSLocator>();
    ASSERT_TRUE(dvbsCopy);
    for (const auto& property : properties) {
        LONG value = 0;
        property.get(dvbsCopy.Get(), &value);
        EXPECT_EQ(value, property.sample) << property.name;
    }
    dvbsCopy->put_CarrierFrequency(10714000);
    LONG original = 0;
    locator->get_CarrierFrequency(&original);
    EXPECT_EQ(original, 11778000);
}

TEST(DVBSLocatorTest, NullOutParametersAndForeignInterfacesAreRefused) {
    const auto locator = NewLocator();
    EXPECT_EQ(locator->get_SymbolRate(nullptr), E_POINTER);
    EXPECT_EQ(locator->Clone(nullptr), E_POINTER);
    ComPtr<ILocator> asBase;
    EXPECT_EQ(locator->QueryInterface(ILocator::kIid, asBase.ReleaseAndGetVoidAddress()), S_OK);
    ComPtr<ITuningSpace> wrong;
    EXPECT_EQ(locator->QueryInterface(ITuningSpace::kIid, wrong.ReleaseAndGetVoidAddress()),
              E_NOINTERFACE);
    EXPECT_FALSE(wrong);
}

}  // namespace
