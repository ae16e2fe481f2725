#pragma once
// Result codes with their Windows values: negative means failure.
#include <cstdint>

using HRESULT = std::int32_t;

constexpr HRESULT MakeHresult(std::uint32_t bits) {
    return static_cast<HRESULT>(bits);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHresult(0x80040209);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHresult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHresult(0x8004025F);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022A);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHresult(0x80040224);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHresult(0x8004028E);
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHresult(0x00040103);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = MakeHresult(0x80070490);
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = MakeHresult(0x80070492);
inline constexpr HRESULT HRESULT_ERROR_NOT_SUPPORTED = MakeHresult(0x80070032);
inline constexpr HRESULT HRESULT_ERROR_GEN_FAILURE = MakeHresult(0x8007001F);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
