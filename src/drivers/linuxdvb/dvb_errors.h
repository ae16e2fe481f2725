#pragma once
// What an errno of the kernel's DVB API means to the system: the result code it gets back.
#include "platform/com/hresult.h"

namespace linuxdvb {

// ERROR_DEVICE_NOT_CONNECTED: the card was removed (ENODEV); every later call fails the same.
inline constexpr HRESULT kDeviceRemoved = MakeHresult(0x8007048F);
inline constexpr HRESULT kDeviceBusy = MakeHresult(0x800700AA);     // ERROR_BUSY
inline constexpr HRESULT kDeviceTimeout = MakeHresult(0x800705B4);  // ERROR_TIMEOUT

// ENOTSUPP (524, leaking from the DVB core), EOPNOTSUPP and ENOTTY: the driver lacks the call.
bool IsNotSupported(int error);

// 0 -> S_OK; not supported -> HRESULT_ERROR_NOT_SUPPORTED; ENODEV/ENXIO -> kDeviceRemoved;
// EINVAL -> E_INVALIDARG; EACCES/EPERM -> E_ACCESSDENIED; ENOMEM -> E_OUTOFMEMORY;
// EBUSY -> kDeviceBusy; ETIMEDOUT -> kDeviceTimeout; anything else E_FAIL.
HRESULT HresultFromErrno(int error);

}  // namespace linuxdvb
