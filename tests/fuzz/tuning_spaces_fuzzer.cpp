// The tuning-space store TuningSpaces.ini (configuration folder), loaded as the system tuning
// space container loads it at start. Every tuning space it yields, added to an empty store,
// must load back the same: names, texts with their escapes and any Unicode, numbers, network
// type and default locator.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/bda/tuning_space_store.h"

namespace {

// Each record costs a few dozen reads and writes of the file; a few show the round trip.
constexpr std::size_t kRecordsCopied = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = fuzz::ScratchFolder() + "/TuningSpaces.ini";
    static const std::string copyPath = fuzz::ScratchFolder() + "/Copy-TuningSpaces.ini";
    fuzz::WriteFile(path, {data, size});
    const std::vector<TuningSpaceRecord> loaded = CTuningSpaceStore(path).LoadAll();
    FUZZ_CHECK(loaded.size() <= static_cast<std::size_t>(CTuningSpaceStore::kMaxTuningSpaces));

    fuzz::WriteFile(copyPath, {});
    CTuningSpaceStore copy(copyPath);
    std::vector<TuningSpaceRecord> added;
    for (const TuningSpaceRecord& record : loaded) {
        if (added.size() == kRecordsCopied) break;
        FUZZ_CHECK(CTuningSpaceStore::IsStorableName(record.uniqueName));
        FUZZ_CHECK(copy.Add(record) == S_OK);
        added.push_back(record);
    }
    FUZZ_CHECK(copy.LoadAll() == added);
    return 0;
}
