#include "platform/bda/system_tuning_spaces.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/bda/bda_classes.h"
#include "platform/bda/dvbs_locator.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "support/folder_roots.h"
#include "support/temp_folder.h"

namespace {

constexpr const wchar_t* kUniqueName = L"Halvorin dvb-s";

class SystemTuningSpacesTest : public testing::Test {
protected:
    void SetUp() override {
        test_roots::SetConfigFolder(m_folder.Path());
        RegisterBdaClasses();
    }
    void TearDown() override { test_roots::SetConfigFolder(""); }

    std::string StorePath() const { return m_folder.File("TuningSpaces.ini"); }

    // A new container, as a new run of the program creates it.
    static ComPtr<ITuningSpaceContainer> Container() {
        ComPtr<ITuningSpaceContainer> container;
        EXPECT_EQ(CoCreateInstance(CLSID_SystemTuningSpaces, nullptr, CLSCTX_ALL,
                                   container.ReleaseAndGetAddressOf()),
                  S_OK);
        return container;
    }

    // The tuning space as the tuner graph makes it on its first run.
    static ComPtr<IDVBTuningSpace2> MakeTuningSpace(const std::wstring& uniqueName = kUniqueName) {
        ComPtr<IDVBSLocator> locator;
        EXPECT_EQ(CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                                   locator.ReleaseAndGetAddressOf()),
                  S_OK);
        ComPtr<IDVBTuningSpace2> space;
        EXPECT_EQ(CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                                   space.ReleaseAndGetAddressOf()),
                  S_OK);
        EXPECT_EQ(space->put__NetworkType(CLSID_DVBSNetworkProvider), S_OK);
        EXPECT_EQ(space->put_SystemType(DVB_Satellite), S_OK);
        EXPECT_EQ(space->put_DefaultLocator(locator.Get()), S_OK);
        EXPECT_EQ(space->put_FrequencyMapping(L""), S_OK);
        EXPECT_EQ(space->put_FriendlyName(L"Local DVBS Tuner"), S_OK);
        EXPECT_EQ(space->put_UniqueName(uniqueName), S_OK);
        const auto dvbs = space.As<IDVBSTuningSpace>();
        EXPECT_TRUE(dvbs);
        EXPECT_EQ(dvbs->put_HighOscillator(-1), S_OK);
        EXPECT_EQ(dvbs->put_InputRange(L"-1"), S_OK);
        EXPECT_EQ(dvbs->put_LNBSwitch(-1), S_OK);
        EXPECT_EQ(dvbs->put_LowOscillator(-1), S_OK);
        EXPECT_EQ(dvbs->put_SpectralInversion(BDA_SPECTRAL_INVERSION_NOT_SET), S_OK);
        return space;
    }

    // Every tuning space the container lists, fetched one at a time as the system does.
    static std::vector<ComPtr<IDVBSTuningSpace>> Enumerate(ITuningSpaceContainer* container) {
        std::vector<ComPtr<IDVBSTuningSpace>> spaces;
        ComPtr<IEnumTuningSpaces> walker;
        EXPECT_EQ(container->get_EnumTuningSpaces(walker.ReleaseAndGetAddressOf()), S_OK);
        if (!walker) return spaces;
        walker->Reset();
        ComPtr<ITuningSpace> space;
        ULONG fetched = 0;
        while (walker->Next(1, space.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
            EXPECT_EQ(fetched, 1u);
            spaces.push_back(space.As<IDVBSTuningSpace>());
        }
        EXPECT_EQ(fetched, 0u);
        return spaces;
    }

    static std::wstring UniqueNameOf(ITuningSpace* space) {
        std::wstring name;
        space->get_UniqueName(&name);
        return name;
    }

    static LONG LNBSwitchOf(IDVBSTuningSpace* space) {
        LONG value = 0;
        space->get_LNBSwitch(&value);
        return value;
    }

    CTempFolder m_folder;
};

TEST_F(SystemTuningSpacesTest, TheFirstRunsTuningSpaceIsFoundByASecondRunWithTheSameValues) {
    {
        const auto container = Container();
        EXPECT_TRUE(Enumerate(container.Get()).empty());
        const auto space = MakeTuningSpace();
        ASSERT_EQ(container->Add(space.Get()), S_OK);
        LONG count = 0;
        ASSERT_EQ(container->get_Count(&count), S_OK);
        EXPECT_EQ(count, 1);
    }
    const auto later = Container();
    const auto spaces = Enumerate(later.Get());
    ASSERT_EQ(spaces.size(), 1u);
    const auto& space = spaces[0];
    ASSERT_TRUE(space);
    std::wstring text;
    space->get_UniqueName(&text);
    EXPECT_EQ(text, kUniqueName);
    space->get_FriendlyName(&text);
    EXPECT_EQ(text, L"Local DVBS Tuner");
    space->get_NetworkType(&text);
    EXPECT_EQ(text, L"{FA4B375A-45B4-4D45-8440-263957B11623}");
    space->get_FrequencyMapping(&text);
    EXPECT_EQ(text, L"");
    space->get_InputRange(&text);
    EXPECT_EQ(text, L"-1");
    DVBSystemType system = DVB_Cable;
    space->get_SystemType(&system);
    EXPECT_EQ(system, DVB_Satellite);
    LONG low = 0, high = 0;
    space->get_LowOscillator(&low);
    space->get_HighOscillator(&high);
    EXPECT_EQ(low, -1);
    EXPECT_EQ(high, -1);
    EXPECT_EQ(LNBSwitchOf(space.Get()), -1);
    SpectralInversion inversion = BDA_SPECTRAL_INVERSION_AUTOMATIC;
    space->get_SpectralInversion(&inversion);
    EXPECT_EQ(inversion, BDA_SPECTRAL_INVERSION_NOT_SET);
    ComPtr<ILocator> locator;
    space->get_DefaultLocator(locator.ReleaseAndGetAddressOf());
    ASSERT_TRUE(locator);
    ASSERT_TRUE(locator.As<IDVBSLocator>());
    LONG frequency = 0;
    locator->get_CarrierFrequency(&frequency);
    EXPECT_EQ(frequency, -1);
}

TEST_F(SystemTuningSpacesTest, PutsOnAnEnumeratedTuningSpaceAreThereForTheNextRun) {
    ASSERT_EQ(Container()->Add(MakeTuningSpace().Get()), S_OK);
    {
        const auto spaces = Enumerate(Container().Get());
        ASSERT_EQ(spaces.size(), 1u);
        // What tuning writes before each tune request.
        EXPECT_EQ(spaces[0]->put_LNBSwitch(11700000), S_OK);
        EXPECT_EQ(spaces[0]->put_HighOscillator(10600000), S_OK);
        EXPECT_EQ(spaces[0]->put_LowOscillator(9750000), S_OK);
        EXPECT_EQ(spaces[0]->put_FriendlyName(L"  \"Dish\" C:\\sat\nline 2"), S_OK);
        ComPtr<CDVBSLocator> locator(new CDVBSLocator());
        locator->put_CarrierFrequency(11778000);
        locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_V);
        locator->put_WestPosition(TRUE);
        EXPECT_EQ(spaces[0]->put_DefaultLocator(locator.Get()), S_OK);
    }
    // The file says so in plain words, section by unique name.
    const std::string file = ReadWholeFile(StorePath());
    EXPECT_NE(file.find("[Halvorin dvb-s]"), std::string::npos) << file;
    EXPECT_NE(file.find("LNBSwitch=11700000"), std::string::npos) << file;

    const auto spaces = Enumerate(Container().Get());
    ASSERT_EQ(spaces.size(), 1u);
    EXPECT_EQ(LNBSwitchOf(spaces[0].Get()), 11700000);
    LONG low = 0, high = 0;
    spaces[0]->get_LowOscillator(&low);
    spaces[0]->get_HighOscillator(&high);
    EXPECT_EQ(low, 9750000);
    EXPECT_EQ(high, 10600000);
    std::wstring name;
    spaces[0]->get_FriendlyName(&name);
    EXPECT_EQ(name, L"  \"Dish\" C:\\sat\nline 2");
    ComPtr<ILocator> locator;
    spaces[0]->get_DefaultLocator(locator.ReleaseAndGetAddressOf());
    ASSERT_TRUE(locator);
    LONG frequency = 0;
    locator->get_CarrierFrequency(&frequency);
    EXPECT_EQ(frequency, 11778000);
    Polarisation polarisation = BDA_POLARISATION_NOT_SET;
    BOOL west = FALSE;
    locator.As<IDVBSLocator>()->get_SignalPolarisation(&polarisation);
    locator.As<IDVBSLocator>()->get_WestPosition(&west);
    EXPECT_EQ(polarisation, BDA_POLARISATION_LINEAR_V);
    EXPECT_EQ(west, TRUE);
}

TEST_F(SystemTuningSpacesTest, TheAddedObjectItselfWritesThroughAfterAdd) {
    const auto space = MakeTuningSpace();
    const auto dvbs = space.As<IDVBSTuningSpace>();
    ASSERT_EQ(Container()->Add(space.Get()), S_OK);
    ASSERT_EQ(dvbs->put_LNBSwitch(11700000), S_OK);
    ASSERT_EQ(dvbs->put_SystemType(DVB_Terrestrial), S_OK);
    const auto spaces = Enumerate(Container().Get());
    ASSERT_EQ(spaces.size(), 1u);
    EXPECT_EQ(LNBSwitchOf(spaces[0].Get()), 11700000);
    DVBSystemType system = DVB_Cable;
    spaces[0]->get_SystemType(&system);
    EXPECT_EQ(system, DVB_Terrestrial);
}

TEST_F(SystemTuningSpacesTest, PutsBeforeAddStayInMemoryUntilAddStoresThemAll) {
    const auto space = MakeTuningSpace();
    space.As<IDVBSTuningSpace>()->put_LNBSwitch(11700000);
    EXPECT_FALSE(std::filesystem::exists(StorePath()));
    ASSERT_EQ(Container()->Add(space.Get()), S_OK);
    const auto spaces = Enumerate(Container().Get());
    ASSERT_EQ(spaces.size(), 1u);
    EXPECT_EQ(LNBSwitchOf(spaces[0].Get()), 11700000);
}

TEST_F(SystemTuningSpacesTest, TuningSpacesAreListedInTheOrderTheyWereAdded) {
    const auto container = Container();
    for (const wchar_t* name : {L"Zeta", L"alpha", L"Halvorin dvb-s"}) {
        ASSERT_EQ(container->Add(MakeTuningSpace(name).Get()), S_OK);
    }
    std::vector<std::wstring> names;
    for (const auto& space : Enumerate(Container().Get()))
        names.push_back(UniqueNameOf(space.Get()));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Zeta", L"alpha", L"Halvorin dvb-s"}));

    // Batches: a short last batch answers S_FALSE with the true count.
    ComPtr<IEnumTuningSpaces> walker;
    ASSERT_EQ(container->get_EnumTuningSpaces(walker.ReleaseAndGetAddressOf()), S_OK);
    ITuningSpace* batch[2] = {nullptr, nullptr};
    ULONG fetched = 0;
    ASSERT_EQ(walker->Skip(1), S_OK);
    ASSERT_EQ(walker->Next(2, batch, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(UniqueNameOf(batch[0]), L"alpha");
    EXPECT_EQ(UniqueNameOf(batch[1]), L"Halvorin dvb-s");
    batch[0]->Release();
    batch[1]->Release();
    EXPECT_EQ(walker->Next(2, batch, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(walker->Skip(4), S_FALSE);
    ASSERT_EQ(walker->Reset(), S_OK);
    ASSERT_EQ(walker->Next(1, batch, nullptr), S_OK);
    EXPECT_EQ(UniqueNameOf(batch[0]), L"Zeta");
    batch[0]->Release();
}

TEST_F(SystemTuningSpacesTest, AddRefusesWhatTheStoreCannotHoldOrAlreadyHolds) {
    const auto container = Container();
    const auto first = MakeTuningSpace();
    ASSERT_EQ(container->Add(first.Get()), S_OK);
    EXPECT_EQ(container->Add(first.Get()), E_INVALIDARG) << "the same object twice";
    EXPECT_EQ(container->Add(MakeTuningSpace().Get()), E_INVALIDARG) << "same unique name";
    // Section names in the file are matched without regard to case, so these would collide.
    EXPECT_EQ(container->Add(MakeTuningSpace(L"HALVORIN DVB-S").Get()), E_INVALIDARG);
    for (const wchar_t* name : {L"", L" leading", L"trailing\t", L"with ] bracket", L"line\nbreak",
                                L"TuningSpaces", L"tuningspaces"}) {
        EXPECT_EQ(container->Add(MakeTuningSpace(name).Get()), E_INVALIDARG)
            << std::wstring(name).size();
    }
    EXPECT_EQ(container->Add(nullptr), E_POINTER);
    LONG count = 0;
    container->get_Count(&count);
    EXPECT_EQ(count, 1);
}

TEST_F(SystemTuningSpacesTest, AStoredTuningSpaceKeepsItsUniqueName) {
    ASSERT_EQ(Container()->Add(MakeTuningSpace().Get()), S_OK);
    const auto spaces = Enumerate(Container().Get());
    ASSERT_EQ(spaces.size(), 1u);
    EXPECT_EQ(spaces[0]->put_UniqueName(kUniqueName), S_OK);
    EXPECT_EQ(spaces[0]->put_UniqueName(L"other"), E_ACCESSDENIED);
    EXPECT_EQ(UniqueNameOf(spaces[0].Get()), kUniqueName);
}

TEST_F(SystemTuningSpacesTest, APutWhoseWriteFailsChangesNothingAndSaysSo) {
    ASSERT_EQ(Container()->Add(MakeTuningSpace().Get()), S_OK);
    const auto spaces = Enumerate(Container().Get());
    ASSERT_EQ(spaces.size(), 1u);
    // A folder where the file was: nothing can be written there any more.
    std::filesystem::remove(StorePath());
    std::filesystem::create_directory(StorePath());
    EXPECT_TRUE(FAILED(spaces[0]->put_LNBSwitch(11700000)));
    EXPECT_EQ(LNBSwitchOf(spaces[0].Get()), -1);
    EXPECT_TRUE(FAILED(Container()->Add(MakeTuningSpace(L"another").Get())));
    EXPECT_TRUE(Enumerate(Container().Get()).empty());
}

TEST_F(SystemTuningSpacesTest, PutsFromTwoThreadsAreAllWrittenThrough) {
    ASSERT_EQ(Container()->Add(MakeTuningSpace().Get()), S_OK);
    const auto spaces = Enumerate(Container().Get());
    ASSERT_EQ(spaces.size(), 1u);
    // Two threads on one tuning space: a write that rereads a stale file would lose the other's.
    const auto low = [&] {
        for (LONG i = 1; i <= 8; ++i) EXPECT_EQ(spaces[0]->put_LowOscillator(9750000 + i), S_OK);
    };
    const auto high = [&] {
        for (LONG i = 1; i <= 8; ++i) EXPECT_EQ(spaces[0]->put_HighOscillator(10600000 + i), S_OK);
    };
    std::thread first(low);
    std::thread second(high);
    first.join();
    second.join();
    const auto later = Enumerate(Container().Get());
    ASSERT_EQ(later.size(), 1u);
    LONG lowValue = 0, highValue = 0;
    later[0]->get_LowOscillator(&lowValue);
    later[0]->get_HighOscillator(&highValue);
    EXPECT_EQ(lowValue, 9750008);
    EXPECT_EQ(highValue, 10600008);
}

}  // namespace
