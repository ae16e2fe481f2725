#include "drivers/linuxdvb/dvb_errors.h"

#include <cerrno>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

bool IsNotSupported(int error) {
    return error == kErrnoNotSupportedKernel || error == EOPNOTSUPP || error == ENOTTY;
}

HRESULT HresultFromErrno(int error) {
    if (error == 0) return S_OK;
    if (IsNotSupported(error)) return HRESULT_ERROR_NOT_SUPPORTED;
    switch (error) {
        case ENODEV:
        case ENXIO:
            return kDeviceRemoved;
        case EINVAL:
            return E_INVALIDARG;
        case EACCES:
        case EPERM:
            return E_ACCESSDENIED;
        case ENOMEM:
            return E_OUTOFMEMORY;
        case EBUSY:
            return kDeviceBusy;
        case ETIMEDOUT:
            return kDeviceTimeout;
        default:
            return E_FAIL;
    }
}

}  // namespace linuxdvb
