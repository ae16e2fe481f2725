#include "platform/bda/tuning_space_store.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

TuningSpaceRecord Record(const std::wstring& name) {
    TuningSpaceRecord record;
    record.uniqueName = name;
    record.friendlyName = L"Local DVBS Tuner";
    record.networkType = CLSID_DVBSNetworkProvider;
    record.systemType = DVB_Satellite;
    record.inputRange = L"-1";
    record.lowOscillator = 9750000;
    record.highOscillator = 10600000;
    record.lnbSwitch = 11700000;
    record.defaultLocator = LocatorRecord{};
    record.defaultLocator->carrierFrequency = 11778000;
    record.defaultLocator->signalPolarisation = BDA_POLARISATION_LINEAR_V;
    return record;
}

std::vector<std::wstring> Names(const std::vector<TuningSpaceRecord>& records) {
    std::vector<std::wstring> names;
    for (const auto& record : records) names.push_back(record.uniqueName);
    return names;
}

constexpr const char* kDvbs = "\"{FA4B375A-45B4-4D45-8440-263957B11623}\"";

class TuningSpaceStoreTest : public testing::Test {
protected:
    std::string Path() const { return m_folder.File("TuningSpaces.ini"); }

    // After any damage the store must still take a new tuning space and then list it.
    void ExpectRecoversWith(const std::wstring& name) {
        CTuningSpaceStore store(Path());
        ASSERT_EQ(store.Add(Record(name)), S_OK);
        const auto records = CTuningSpaceStore(Path()).LoadAll();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back(), Record(name));
    }

    CTempFolder m_folder;
};

TEST_F(TuningSpaceStoreTest, ARecordComesBackExactlyAsItWasAdded) {
    TuningSpaceRecord record = Record(L"Halvorin dvb-s");
    record.frequencyMapping = L"\\0 is not a NUL, \"quoted\" ";
    record.networkID = 318;
    record.spectralInversion = BDA_SPECTRAL_INVERSION_INVERTED;
    record.defaultLocator->westPosition = TRUE;
    record.defaultLocator->modulation = BDA_MOD_8PSK;
    TuningSpaceRecord bare = Record(L"Zweite \u00dcbertragung");
    bare.defaultLocator.reset();
    bare.friendlyName = std::wstring(L"with\0nul", 8);
    CTuningSpaceStore store(Path());
    ASSERT_EQ(store.Add(record), S_OK);
    ASSERT_EQ(store.Add(bare), S_OK);
    const auto records = CTuningSpaceStore(Path()).LoadAll();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], record);
    EXPECT_EQ(records[1], bare);
}

TEST_F(TuningSpaceStoreTest, AMissingFileHoldsNothing) {
    EXPECT_TRUE(CTuningSpaceStore(Path()).LoadAll().empty());
    EXPECT_TRUE(CTuningSpaceStore(m_folder.File("no/such/folder.ini")).LoadAll().empty());
}

TEST_F(TuningSpaceStoreTest, AFileCutAtAnyLengthLoadsWhatIsLeftAndTakesNewEntries) {
    {
        CTuningSpaceStore store(Path());
        ASSERT_EQ(store.Add(Record(L"Halvorin dvb-s")), S_OK);
        ASSERT_EQ(store.Add(Record(L"Second")), S_OK);
    }
    const std::string whole = ReadWholeFile(Path());
    ASSERT_GT(whole.size(), 200u);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        WriteWholeFile(Path(), whole.substr(0, length));
        const auto names = Names(CTuningSpaceStore(Path()).LoadAll());
        // Whatever survives keeps its place; nothing is listed twice or made up.
        const bool plausible = names.empty() ||
                               names == std::vector<std::wstring>{L"Halvorin dvb-s"} ||
                               names == std::vector<std::wstring>{L"Second"} ||
                               names == std::vector<std::wstring>{L"Halvorin dvb-s", L"Second"};
        EXPECT_TRUE(plausible) << "cut at " << length;
        if (length % 61 == 0) {
            // The tuner graph's own recovery: add the tuning space again when it is not found.
            if (names.empty() || names[0] != L"Halvorin dvb-s") {
                SCOPED_TRACE(length);
                ExpectRecoversWith(L"Halvorin dvb-s");
            }
        }
    }
    const auto records = CTuningSpaceStore(Path()).LoadAll();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], Record(L"Halvorin dvb-s"));
    EXPECT_EQ(records[1], Record(L"Second"));
}

TEST_F(TuningSpaceStoreTest, RandomBytesAreSurvived) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 20; ++round) {
        std::string junk(4096, '\0');
        // Plenty of the characters that structure the file.
        const char structure[] = "[]=\"\n\r;\\1TuningSpacesCount";
        for (char& c : junk) {
            const auto draw = random();
            c = draw % 3 == 0 ? structure[draw % (sizeof(structure) - 1)]
                              : static_cast<char>(draw >> 8);
        }
        WriteWholeFile(Path(), junk);
        EXPECT_TRUE(CTuningSpaceStore(Path()).LoadAll().empty()) << "round " << round;
    }
    ExpectRecoversWith(L"Halvorin dvb-s");
}

struct DamagedFile {
    const char* what;
    std::string content;
    std::vector<std::wstring> names;
};

std::string Section(const std::string& name, const std::string& networkType = kDvbs) {
    return "[" + name + "]\nNetworkType=" + networkType + "\n";
}

TEST_F(TuningSpaceStoreTest, DamagedIndexEntriesAreSkipped) {
    const std::vector<DamagedFile> cases = {
        {"count not a number", "[TuningSpaces]\nCount=abc\n1=\"A\"\n" + Section("A"), {}},
        {"count beyond reason", "[TuningSpaces]\nCount=99999999\n1=\"A\"\n" + Section("A"), {}},
        {"negative count", "[TuningSpaces]\nCount=-3\n1=\"A\"\n" + Section("A"), {}},
        {"count short of the entries",
         "[TuningSpaces]\nCount=1\n1=\"A\"\n2=\"B\"\n" + Section("A") + Section("B"),
         {L"A"}},
        {"entry missing, section missing, entry repeated",
         "[TuningSpaces]\nCount=4\n1=\"A\"\n3=\"Gone\"\n4=\"a\"\n" + Section("A"),
         {L"A"}},
        {"names the store cannot hold",
         "[TuningSpaces]\nCount=3\n1=\"\"\n2=\"Bad]Name\"\n3=\"TuningSpaces\"\n" +
             Section("Bad]Name"),
         {}},
        {"network type unreadable",
         "[TuningSpaces]\nCount=3\n1=\"A\"\n2=\"B\"\n3=\"C\"\n" + Section("A", "DVB-S") +
             Section("B", "\"{FA4B375A-45B4-4D45-8440-263957B11623") + "[C]\nFriendlyName=\"c\"\n",
         {}},
        {"unquoted values from a hand edit",
         "[TuningSpaces]\nCount = 1\n1 = A\n[a]\nNetworkType = "
         "{FA4B375A-45B4-4D45-8440-263957B11623}\n",
         {L"A"}},
    };
    for (const auto& damaged : cases) {
        WriteWholeFile(Path(), damaged.content);
        EXPECT_EQ(Names(CTuningSpaceStore(Path()).LoadAll()), damaged.names) << damaged.what;
        SCOPED_TRACE(damaged.what);
        ExpectRecoversWith(L"Halvorin dvb-s");
    }
}

TEST_F(TuningSpaceStoreTest, DamagedValuesFallBackToNotSet) {
    WriteWholeFile(Path(),
                   "[TuningSpaces]\nCount=1\n1=\"A\"\n" + Section("A") +
                       "SystemType=7\nLowOscillator=9750abc\nHighOscillator=99999999999\n"
                       "LNBSwitch=+11700000\nSpectralInversion=-2\nNetworkID=\n"
                       "DefaultLocator=1\nLocator.Modulation=1000\nLocator.SymbolRate=27500\n"
                       "Locator.InnerFECRate=15\nLocator.WestPosition=2\n");
    const auto records = CTuningSpaceStore(Path()).LoadAll();
    ASSERT_EQ(records.size(), 1u);
    const auto& record = records[0];
    EXPECT_EQ(record.systemType, DVB_Cable);
    EXPECT_EQ(record.lowOscillator, -1);
    EXPECT_EQ(record.highOscillator, -1);
    EXPECT_EQ(record.lnbSwitch, 11700000);
    EXPECT_EQ(record.spectralInversion, BDA_SPECTRAL_INVERSION_NOT_SET);
    EXPECT_EQ(record.networkID, -1);
    ASSERT_TRUE(record.defaultLocator);
    EXPECT_EQ(record.defaultLocator->modulation, BDA_MOD_NOT_SET);
    EXPECT_EQ(record.defaultLocator->innerFECRate, BDA_BCC_RATE_NOT_SET);
    EXPECT_EQ(record.defaultLocator->westPosition, FALSE);
    EXPECT_EQ(record.defaultLocator->symbolRate, 27500);
}

TEST_F(TuningSpaceStoreTest, AnEntryWhoseSectionWasLostIsStoredAnewUnderItsOldPlace) {
    WriteWholeFile(Path(),
                   "[TuningSpaces]\nCount=2\n1=\"Halvorin dvb-s\"\n2=\"B\"\n" + Section("B"));
    CTuningSpaceStore store(Path());
    ASSERT_EQ(store.Add(Record(L"Halvorin dvb-s")), S_OK);
    EXPECT_EQ(Names(store.LoadAll()), (std::vector<std::wstring>{L"Halvorin dvb-s", L"B"}));
    EXPECT_EQ(store.Add(Record(L"Halvorin dvb-s")), E_INVALIDARG);
}

}  // namespace
