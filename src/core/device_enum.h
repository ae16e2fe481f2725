#pragma once
// Walks the installed devices of one category with their friendly names.
#include <memory>

#include "platform/com/com_ptr.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/media/media_interfaces.h"

struct DeviceEnum {
    ComPtr<IEnumMoniker> pEnumMoniker;
    ComPtr<ICreateDevEnum> pCreateDevEnum;
    ComPtr<IMoniker> pMoniker;
    char szName[256] = {};      // narrow friendly name, at most 255 characters
    wchar_t wszName[256] = {};  // wide friendly name as read, at most 255 characters
};

void enum_free(DeviceEnum* ctx);

struct DeviceEnumDeleter {
    void operator()(DeviceEnum* ctx) const { enum_free(ctx); }
};
using DeviceEnumPtr = std::unique_ptr<DeviceEnum, DeviceEnumDeleter>;

// Opens an enumeration of `category`; null (after a debugger-output line) when the enumerator
// cannot be created or the category has no device.
DeviceEnumPtr enum_create(REFGUID category);
// Moves to the next device: S_OK while there is one; 1 for a null context or the end.
HRESULT enum_next(DeviceEnum* ctx);
// Binds the current device to its filter: 0 on success, 1 when the binding gave no filter.
HRESULT enum_get_filter(DeviceEnum* ctx, IBaseFilter** filter);
// Reads the current device's "FriendlyName" into szName and wszName: 0 on success.
HRESULT enum_get_name(DeviceEnum* ctx);
