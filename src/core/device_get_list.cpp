#include "core/device_get_list.h"

#include <cstring>

#include "core/device_enum.h"
#include "core/diagnostic_log.h"

namespace {
constexpr const char* kUnnamedDevice = "(device without a readable name)";
}

std::int32_t DeviceGetList(DeviceList& list) {
    WriteLog(">> DeviceGetList");
    DeviceEnumPtr ctx = enum_create(KSCATEGORY_BDA_NETWORK_TUNER);
    list = DeviceList{};
    while (enum_next(ctx.get()) == S_OK && list.count < kMaxListedDevices) {
        auto& entry = list.names[static_cast<std::size_t>(list.count)];
        // A device whose name cannot be read still takes its position, so that list positions
        // and tuner indices stay aligned; the user sees that it has no name.
        const char* name = enum_get_name(ctx.get()) == S_OK ? ctx->szName : kUnnamedDevice;
        std::strncpy(entry.data(), name, entry.size() - 1);
        ++list.count;
    }
    ctx.reset();
    WriteLog("<< DeviceGetList");
    return list.count == 0 ? 1 : 0;
}
