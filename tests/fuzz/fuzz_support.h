#pragma once
// What the fuzz targets share: a scratch folder on a memory file system for the readers that take
// a path only, a cheap whole-file write, a little-endian reader for binary inputs, and a check
// that turns a broken property of the code under test into a crash libFuzzer reports.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace fuzz {

// A folder made once per process in $TMPDIR, else in /dev/shm (memory) when there is one, else
// in /tmp; removed when the process ends normally (a crash leaves it behind).
const std::string& ScratchFolder();

// Replaces the file's content with `bytes`; aborts when it cannot (a missing file would turn
// every later run into a test of "file not found").
void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Prints what failed and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(std::string_view what, const char* file, int line);

// Reads values front to back; past the end every value is 0.
class CByteReader {
public:
    explicit CByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool Empty() const { return m_bytes.empty(); }
    std::size_t Size() const { return m_bytes.size(); }
    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    // `size` bytes, zero-filled past the end.
    void Bytes(void* destination, std::size_t size);

private:
    std::span<const std::uint8_t> m_bytes;
};

}  // namespace fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::fuzz::Fail(#condition, __FILE__, __LINE__))
