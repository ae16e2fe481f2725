// What the kernel's errno values become for the system.
#include "drivers/linuxdvb/dvb_errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {
namespace {

struct ErrnoCase {
    int error;
    HRESULT hr;
    bool notSupported;
};

// Case names by the errno's symbol, so that a failing row says which error it was.
std::string ErrnoName(int error) {
    switch (error) {
        case 0:
            return "NoError";
        case kErrnoNotSupportedKernel:
            return "Errno_ENOTSUPP";
        case EOPNOTSUPP:
            return "Errno_EOPNOTSUPP";
        case ENOTTY:
            return "Errno_ENOTTY";
        case ENODEV:
            return "Errno_ENODEV";
        case ENXIO:
            return "Errno_ENXIO";
        case EINVAL:
            return "Errno_EINVAL";
        case EACCES:
            return "Errno_EACCES";
        case EPERM:
            return "Errno_EPERM";
        case ENOMEM:
            return "Errno_ENOMEM";
        case EBUSY:
            return "Errno_EBUSY";
        case ETIMEDOUT:
            return "Errno_ETIMEDOUT";
        case EIO:
            return "Errno_EIO";
        default:
            return "Errno_" + std::to_string(error);
    }
}

class ErrnoTable : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoTable, MapsToResultCode) {
    EXPECT_EQ(HresultFromErrno(GetParam().error), GetParam().hr);
    EXPECT_EQ(IsNotSupported(GetParam().error), GetParam().notSupported);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ErrnoTable,
    ::testing::Values(ErrnoCase{0, S_OK, false},
                      ErrnoCase{kErrnoNotSupportedKernel, HRESULT_ERROR_NOT_SUPPORTED, true},
                      ErrnoCase{EOPNOTSUPP, HRESULT_ERROR_NOT_SUPPORTED, true},
                      ErrnoCase{ENOTTY, HRESULT_ERROR_NOT_SUPPORTED, true},
                      ErrnoCase{ENODEV, kDeviceRemoved, false},
                      ErrnoCase{ENXIO, kDeviceRemoved, false},
                      ErrnoCase{EINVAL, E_INVALIDARG, false},
                      ErrnoCase{EACCES, E_ACCESSDENIED, false},
                      ErrnoCase{EPERM, E_ACCESSDENIED, false},
                      ErrnoCase{ENOMEM, E_OUTOFMEMORY, false}, ErrnoCase{EBUSY, kDeviceBusy, false},
                      ErrnoCase{ETIMEDOUT, kDeviceTimeout, false}, ErrnoCase{EIO, E_FAIL, false}),
    [](const ::testing::TestParamInfo<ErrnoCase>& item) { return ErrnoName(item.param.error); });

TEST(ErrnoTable, EveryFailureIsAFailureCode) {
    for (int error = 1; error < 600; ++error) EXPECT_TRUE(FAILED(HresultFromErrno(error))) << error;
}

}  // namespace
}  // namespace linuxdvb
