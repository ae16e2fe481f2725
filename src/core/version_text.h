#pragma once
// The program's version, read from the ELF note that the build writes into the executable:
// section ".note.vlk.version", note name "VLK", type 1, descriptor four 16-bit numbers (major,
// minor, patch, build) in the file's byte order.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

// " major.minor.patch.build " (one blank on each side) of the named file, or of the program's
// own executable when fileName is null; "" when the file cannot be read, is not ELF or carries no
// version note.
std::string GetVersionText(const char* fileName);

namespace version_text {

using VersionNumbers = std::array<std::uint16_t, 4>;

// Fills `out` with the bytes at `offset`; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)>;

// Looks for the version note through `read` (ELF32 and ELF64, either byte order). Never asks for
// more than a bounded amount of memory, whatever the headers claim, and never reads outside what
// `read` offers: any inconsistency just means "no version".
std::optional<VersionNumbers> FindVersionNote(const ReadAt& read);

// The same over a file image in memory.
std::optional<VersionNumbers> FindVersionNote(std::span<const std::uint8_t> image);

// " a.b.c.d ".
std::string FormatVersionText(const VersionNumbers& numbers);

}  // namespace version_text
