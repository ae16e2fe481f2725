#include "platform/com/guid.h"

#include <fmt/format.h>

namespace com {

std::string FormatGuid(const GUID& g) {
    return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}",
                       g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                       g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

}  // namespace com

HRESULT CLSIDFromString(std::wstring_view text, CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (c < 0 || c > 0x7F) return CO_E_CLASSSTRING;
        narrow.push_back(static_cast<char>(c));
    }
    const auto g = com::ParseGuid(narrow);
    if (!g) return CO_E_CLASSSTRING;
    *clsid = *g;
    return S_OK;
}

std::wstring StringFromGUID(const GUID& guid) {
    const std::string text = com::FormatGuid(guid);
    return std::wstring(text.begin(), text.end());
}
