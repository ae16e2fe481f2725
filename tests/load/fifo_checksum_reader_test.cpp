#include "load/fifo_checksum_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "support/temp_folder.h"

namespace {

// Transport-stream-like bytes: `packets` packets of 188 bytes with the sync byte in front.
std::vector<std::uint8_t> Packets(std::size_t packets) {
    std::vector<std::uint8_t> bytes(packets * 188);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 188);
    for (std::size_t i = 0; i < bytes.size(); i += 188) bytes[i] = 0x47;
    return bytes;
}

// Writes the bytes into the pipe in pieces of `piece` bytes, as a writer that is not aligned to
// packets would.
void WriteInPieces(const std::string& path, const std::vector<std::uint8_t>& bytes,
                   std::size_t piece) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::size_t size = std::min(piece, bytes.size() - at);
        ASSERT_EQ(::write(fd, bytes.data() + at, size), static_cast<ssize_t>(size));
    }
    ::close(fd);
}

TEST(FifoChecksumReader, TakesEverythingWrittenAndChecksItsPacketStarts) {
    CTempFolder folder;
    std::vector<std::uint8_t> bytes = Packets(5000);
    bytes[188 * 1234] = 0x00;  // one packet without its sync byte
    bytes[188 * 4999] = 0x48;  // and the last one
    CFifoChecksumReader reader(folder.File("pipe"));
    struct stat info {};
    ASSERT_EQ(::stat(reader.Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    WriteInPieces(reader.Path(), bytes, 1000);  // packet starts fall anywhere within a read
    const CFifoChecksumReader::Result result = reader.Finish();
    CStreamHash expected;
    expected.Update(bytes.data(), bytes.size());
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(result.bytes, bytes.size());
    EXPECT_EQ(result.digest, expected.Digest());
    EXPECT_EQ(result.badSyncBytes, 2u);
    EXPECT_EQ(reader.BytesSoFar(), bytes.size());
}

TEST(FifoChecksumReader, EndsWhenNoWriterEverCameAndRemovesThePipe) {
    CTempFolder folder;
    const std::string path = folder.File("pipe");
    {
        CFifoChecksumReader reader(path);
        const CFifoChecksumReader::Result result = reader.Finish();
        EXPECT_EQ(result.bytes, 0u);
        EXPECT_EQ(result.error, 0);
        EXPECT_EQ(result.digest, CStreamHash().Digest());
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
    CFifoChecksumReader abandoned(path);  // the destructor alone ends it as well
}

}  // namespace
