#pragma once
// Text of the user's files on its way into a control and back. QString::fromStdString turns
// every byte that is not UTF-8 into U+FFFD, so a value that was only shown and saved again
// would come back changed; these keep such bytes as lone surrogates (see
// platform::Utf8ToUtf16Escaped) and give them back unchanged. Valid UTF-8 reads as it always did.
#include <QString>
#include <string>
#include <string_view>

#include "platform/win/text_encoding.h"

namespace LosslessText {

inline QString ToQString(std::string_view bytes) {
    return QString::fromStdU16String(platform::Utf8ToUtf16Escaped(bytes));
}

inline std::string ToBytes(const QString& text) {
    return platform::Utf16EscapedToUtf8(text.toStdU16String());
}

}  // namespace LosslessText
