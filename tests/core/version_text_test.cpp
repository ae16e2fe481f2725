#include "core/version_text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using version_text::FindVersionNote;
using version_text::VersionNumbers;

// Appends unsigned integers in the byte order of the file being built.
struct Writer {
    bool bigEndian;
    Bytes bytes;

    void Put(std::uint64_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
    void PutBytes(const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
    void Align(std::size_t alignment) {
        while (bytes.size() % alignment != 0) bytes.push_back(0);
    }
};

// One note record: name with its terminating zero, type, descriptor, each padded.
Bytes Note(bool bigEndian, const std::string& name, std::uint32_t type, const Bytes& descriptor,
           std::size_t alignment = 4) {
    Writer w{bigEndian, {}};
    w.Put(name.size() + 1, 4);
    w.Put(descriptor.size(), 4);
    w.Put(type, 4);
    w.PutBytes(Bytes(name.begin(), name.end()));
    w.bytes.push_back(0);
    w.Align(alignment);
    w.PutBytes(descriptor);
    w.Align(alignment);
    return w.bytes;
}

Bytes Descriptor(bool bigEndian, const VersionNumbers& numbers) {
    Writer w{bigEndian, {}};
    for (const auto number : numbers) w.Put(number, 2);
    return w.bytes;
}

Bytes VersionNote(bool bigEndian, const VersionNumbers& numbers) {
    return Note(bigEndian, "VLK", 1, Descriptor(bigEndian, numbers));
}

struct SectionLayout {
    std::string name;
    std::uint32_t type = 7;  // SHT_NOTE
    Bytes content;
    std::uint64_t addralign = 4;
};

struct ElfLayout {
    bool is64 = true;
    bool bigEndian = false;
    std::vector<SectionLayout> sections;
};

// A minimal relocatable-style ELF file: header, section contents, then the section headers
// (null section, ".shstrtab", then the given sections), so that cutting the file anywhere loses
// part of the headers.
Bytes BuildElf(const ElfLayout& layout) {
    std::vector<SectionLayout> sections;
    sections.push_back({".shstrtab", 3, {}, 1});
    sections.insert(sections.end(), layout.sections.begin(), layout.sections.end());
    Bytes strings{0};
    std::vector<std::uint32_t> nameOffsets;
    for (const auto& section : sections) {
        nameOffsets.push_back(static_cast<std::uint32_t>(strings.size()));
        strings.insert(strings.end(), section.name.begin(), section.name.end());
        strings.push_back(0);
    }
    sections[0].content = strings;

    const std::size_t headerSize = layout.is64 ? 64 : 52;
    const std::size_t word = layout.is64 ? 8 : 4;
    Writer body{layout.bigEndian, Bytes(headerSize, 0)};
    std::vector<std::uint64_t> offsets;
    for (const auto& section : sections) {
        body.Align(8);
        offsets.push_back(body.bytes.size());
        body.PutBytes(section.content);
    }
    body.Align(8);
    const std::uint64_t shoff = body.bytes.size();
    Writer& w = body;
    // Null section header.
    w.PutBytes(Bytes(layout.is64 ? 64 : 40, 0));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        w.Put(nameOffsets[i], 4);
        w.Put(sections[i].type, 4);
        w.Put(0, word);  // flags
        w.Put(0, word);  // address
        w.Put(offsets[i], word);
        w.Put(sections[i].content.size(), word);
        w.Put(0, 4);  // link
        w.Put(0, 4);  // info
        w.Put(sections[i].addralign, word);
        w.Put(0, word);  // entry size
    }

    Writer header{layout.bigEndian, {0x7F, 'E', 'L', 'F'}};
    header.bytes.push_back(layout.is64 ? 2 : 1);
    header.bytes.push_back(layout.bigEndian ? 2 : 1);
    header.bytes.push_back(1);  // ELF version
    header.Align(16);
    header.Put(1, 2);                          // relocatable
    header.Put(layout.bigEndian ? 2 : 62, 2);  // machine: SPARC or x86-64, does not matter
    header.Put(1, 4);
    header.Put(0, word);  // entry
    header.Put(0, word);  // program headers
    header.Put(shoff, word);
    header.Put(0, 4);  // flags
    header.Put(headerSize, 2);
    header.Put(0, 2);  // program header size
    header.Put(0, 2);  // program header count
    header.Put(layout.is64 ? 64 : 40, 2);
    header.Put(sections.size() + 1, 2);
    header.Put(1, 2);  // ".shstrtab" is section 1
    std::copy(header.bytes.begin(), header.bytes.end(), body.bytes.begin());
    return body.bytes;
}

ElfLayout WithVersionNote(bool is64, bool bigEndian, const VersionNumbers& numbers) {
    return ElfLayout{is64,
                     bigEndian,
                     {{".text", 1, Bytes(13, 0x90), 16},
                      {".note.vlk.version", 7, VersionNote(bigEndian, numbers), 4}}};
}

std::string TextOfFile(const CTempFolder& folder, const Bytes& bytes) {
    const std::string path = folder.File("image");
    WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
    return GetVersionText(path.c_str());
}

TEST(VersionTextTest, TheProgramFileCarriesTheProjectVersion) {
    EXPECT_EQ(GetVersionText(VLK_TSCAP_PATH), " 3.0.1.6 ");
}

TEST(VersionTextTest, FilesWithoutTheNoteGiveTheEmptyText) {
    // The test program itself (through /proc/self/exe) and a system program carry no note.
    EXPECT_EQ(GetVersionText(nullptr), "");
    EXPECT_EQ(GetVersionText("/bin/true"), "");
}

TEST(VersionTextTest, FormatsFourNumbersWithOneBlankOnEachSide) {
    EXPECT_EQ(version_text::FormatVersionText({3, 0, 1, 6}), " 3.0.1.6 ");
    EXPECT_EQ(version_text::FormatVersionText({0, 0, 0, 0}), " 0.0.0.0 ");
    EXPECT_EQ(version_text::FormatVersionText({65535, 258, 10, 1}), " 65535.258.10.1 ");
}

struct Layout {
    bool is64;
    bool bigEndian;
    const char* label;
};

class VersionTextLayoutTest : public testing::TestWithParam<Layout> {};

TEST_P(VersionTextLayoutTest, ReadsTheNoteInTheFilesOwnByteOrder) {
    const bool is64 = GetParam().is64;
    const bool bigEndian = GetParam().bigEndian;
    // 258 = 0x0102 tells the two byte orders apart.
    const Bytes image = BuildElf(WithVersionNote(is64, bigEndian, {3, 258, 1, 65535}));
    const auto numbers = FindVersionNote(image);
    ASSERT_TRUE(numbers.has_value());
    EXPECT_EQ(*numbers, (VersionNumbers{3, 258, 1, 65535}));

    CTempFolder folder;
    EXPECT_EQ(TextOfFile(folder, image), " 3.258.1.65535 ");
}

TEST_P(VersionTextLayoutTest, IgnoresNotesOfAnotherNameOrTypeAndFindsOursAfterThem) {
    const bool is64 = GetParam().is64;
    const bool bigEndian = GetParam().bigEndian;
    const Bytes ours = Descriptor(bigEndian, {1, 2, 3, 4});
    struct Case {
        const char* what;
        Bytes content;
        bool found;
    };
    const std::vector<Case> cases = {
        {"other name", Note(bigEndian, "VLX", 1, ours), false},
        {"longer name", Note(bigEndian, "VLKX", 1, ours), false},
        {"GNU build id", Note(bigEndian, "GNU", 3, Bytes(20, 0xAB)), false},
        {"other type", Note(bigEndian, "VLK", 2, ours), false},
        {"short descriptor", Note(bigEndian, "VLK", 1, Bytes(6, 1)), false},
        {"ours after others",
         [&] {
             Bytes b = Note(bigEndian, "VLK", 2, Descriptor(bigEndian, {9, 9, 9, 9}));
             const Bytes gnu = Note(bigEndian, "GNU", 1, Bytes(7, 0xCC));
             const Bytes vlk = Note(bigEndian, "VLK", 1, ours);
             b.insert(b.end(), gnu.begin(), gnu.end());
             b.insert(b.end(), vlk.begin(), vlk.end());
             return b;
         }(),
         true},
    };
    for (const auto& c : cases) {
        const Bytes image = BuildElf({is64, bigEndian, {{".note.vlk.version", 7, c.content, 4}}});
        const auto numbers = FindVersionNote(image);
        EXPECT_EQ(numbers.has_value(), c.found) << c.what;
        if (c.found && numbers) {
            EXPECT_EQ(*numbers, (VersionNumbers{1, 2, 3, 4})) << c.what;
        }
    }
}

TEST_P(VersionTextLayoutTest, OnlyTheSectionOfThatExactNameCounts) {
    const bool is64 = GetParam().is64;
    const bool bigEndian = GetParam().bigEndian;
    const Bytes note = VersionNote(bigEndian, {1, 2, 3, 4});
    for (const char* name : {".note.vlk", ".note.vlk.versions", ".note.vlk.versio", ".note"}) {
        EXPECT_FALSE(FindVersionNote(BuildElf({is64, bigEndian, {{name, 7, note, 4}}}))) << name;
    }
    // A section without file contents holds no note even when its name is ours.
    EXPECT_FALSE(FindVersionNote(BuildElf({is64, bigEndian, {{".note.vlk.version", 8, note, 4}}})));
}

TEST_P(VersionTextLayoutTest, EveryTruncationGivesNothing) {
    const bool is64 = GetParam().is64;
    const bool bigEndian = GetParam().bigEndian;
    const Bytes image = BuildElf(WithVersionNote(is64, bigEndian, {3, 0, 1, 6}));
    ASSERT_TRUE(FindVersionNote(image));
    for (std::size_t size = 0; size < image.size(); ++size) {
        const Bytes cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(FindVersionNote(cut)) << "cut at " << size;
    }
}

TEST_P(VersionTextLayoutTest, SingleByteDamageNeverReadsOutOfBounds) {
    const bool is64 = GetParam().is64;
    const bool bigEndian = GetParam().bigEndian;
    const Bytes image = BuildElf(WithVersionNote(is64, bigEndian, {3, 0, 1, 6}));
    // Run under AddressSanitizer this proves the bounds checks; here it also checks that damage
    // to the magic, class or byte order fields always loses the note.
    int found = 0;
    for (std::size_t at = 0; at < image.size(); ++at) {
        for (const std::uint8_t value : {0x00, 0x01, 0x02, 0x7F, 0x80, 0xFE, 0xFF}) {
            Bytes damaged = image;
            if (damaged[at] == value) continue;
            damaged[at] = value;
            const auto numbers = FindVersionNote(damaged);
            if (at < 6) {
                // 32 <-> 64 bits or a byte order swap makes the headers unreadable here.
                EXPECT_FALSE(numbers) << "byte " << at << " = " << int{value};
            }
            found += numbers ? 1 : 0;
        }
    }
    // Most bytes (padding, the unrelated section) do not matter.
    EXPECT_GT(found, 0);
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, VersionTextLayoutTest,
    testing::Values(Layout{true, false, "Elf64Little"}, Layout{true, true, "Elf64Big"},
                    Layout{false, false, "Elf32Little"}, Layout{false, true, "Elf32Big"}),
    [](const testing::TestParamInfo<Layout>& tested) { return std::string(tested.param.label); });

// Writes a value at a fixed position of a built file, in its byte order.
void Patch(Bytes& image, std::size_t at, std::uint64_t value, std::size_t size, bool bigEndian) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
        image.at(at + i) = static_cast<std::uint8_t>(value >> shift);
    }
}

TEST(VersionTextTest, InconsistentHeadersGiveNothing) {
    // ELF64 little endian: e_shoff at 40, e_shentsize 58, e_shnum 60, e_shstrndx 62; section
    // headers of 64 bytes: sh_name 0, sh_type 4, sh_offset 24, sh_size 32, sh_addralign 48.
    const Bytes image = BuildElf(WithVersionNote(true, false, {3, 0, 1, 6}));
    ASSERT_TRUE(FindVersionNote(image));
    const std::size_t shoff = image[40] | (image[41] << 8) | (image[42] << 16);
    const std::size_t noteHeader = shoff + std::size_t{3} * 64;  // null, .shstrtab, .text, note
    const std::size_t noteOffset = image[noteHeader + 24] | (image[noteHeader + 25] << 8);
    const std::size_t stringsHeader = shoff + 64;
    const std::uint64_t kMax = ~std::uint64_t{0};
    struct Case {
        const char* what;
        std::size_t at;
        std::uint64_t value;
        std::size_t size;
    };
    const std::vector<Case> cases = {
        {"class 3", 4, 3, 1},
        {"byte order 0", 5, 0, 1},
        {"no section headers", 40, 0, 8},
        {"section headers past the end", 40, image.size(), 8},
        {"section header offset wraps", 40, kMax - 10, 8},
        {"section header entries too small", 58, 39, 2},
        {"string table index out of range", 62, 7, 2},
        {"string table index is the note", 62, 3, 2},
        {"extended count in a zero first header", 60, 0, 2},
        {"string table past the end", stringsHeader + 24, image.size(), 8},
        {"string table offset wraps", stringsHeader + 24, kMax - 3, 8},
        {"string table too small for the name", stringsHeader + 32, 20, 8},
        {"name offset past the string table", noteHeader, 1000, 4},
        {"name offset wraps", noteHeader, 0xFFFFFFFF, 4},
        {"note section past the end", noteHeader + 24, image.size() + 1, 8},
        {"note section offset wraps", noteHeader + 24, kMax - 5, 8},
        {"note section larger than the file", noteHeader + 32, kMax, 8},
        {"note name size too large", noteOffset, 0xFFFFFFFF, 4},
        {"note descriptor size too large", noteOffset + 4, 0xFFFFFFF0, 4},
        {"note descriptor size past the section", noteOffset + 4, 9, 4},
    };
    for (const auto& c : cases) {
        Bytes damaged = image;
        Patch(damaged, c.at, c.value, c.size, false);
        EXPECT_FALSE(FindVersionNote(damaged)) << c.what;
    }
}

TEST(VersionTextTest, NotesArePaddedAsTheSectionAlignmentSays) {
    // A 3-byte name and a 4-byte descriptor: with 8-byte padding the next note starts at 24,
    // with 4-byte padding at 20, so reading with the wrong padding misses our note.
    struct Case {
        std::size_t notePadding;
        std::uint64_t sectionAlignment;
        bool found;
    };
    for (const auto& c : {Case{8, 8, true}, Case{4, 4, true}, Case{8, 4, false}}) {
        Bytes content = Note(false, "AB", 5, Bytes(4, 0xEE), c.notePadding);
        const Bytes ours = Note(false, "VLK", 1, Descriptor(false, {1, 0, 0, 2}), c.notePadding);
        content.insert(content.end(), ours.begin(), ours.end());
        const auto numbers = FindVersionNote(
            BuildElf({true, false, {{".note.vlk.version", 7, content, c.sectionAlignment}}}));
        EXPECT_EQ(numbers.has_value(), c.found)
            << "padding " << c.notePadding << ", alignment " << c.sectionAlignment;
        if (c.found && numbers) {
            EXPECT_EQ(*numbers, (VersionNumbers{1, 0, 0, 2}));
        }
    }
}

TEST(VersionTextTest, ExtendedSectionNumberingIsFollowed) {
    // e_shnum 0 and e_shstrndx 0xFFFF: the count and the string table index come from the
    // first section header's size and link fields.
    Bytes image = BuildElf(WithVersionNote(false, true, {7, 6, 5, 4}));
    const std::size_t shoff = (image[32] << 24) | (image[33] << 16) | (image[34] << 8) | image[35];
    Patch(image, 48, 0, 2, true);
    Patch(image, 50, 0xFFFF, 2, true);
    Patch(image, shoff + 20, 4, 4, true);  // sh_size of section 0: four sections
    Patch(image, shoff + 24, 1, 4, true);  // sh_link of section 0: ".shstrtab"
    EXPECT_EQ(FindVersionNote(image), (VersionNumbers{7, 6, 5, 4}));
    Patch(image, shoff + 20, 0x7FFFFFFF, 4, true);  // an absurd count is refused
    EXPECT_FALSE(FindVersionNote(image));
}

TEST(VersionTextTest, GarbageGivesNothing) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 600);
    for (int round = 0; round < 2000; ++round) {
        Bytes garbage(length(random));
        for (auto& b : garbage) b = static_cast<std::uint8_t>(byte(random));
        // Half of the rounds start with a valid identification, so the header fields are read.
        if (round % 2 == 0 && garbage.size() >= 6) {
            garbage[0] = 0x7F;
            garbage[1] = 'E';
            garbage[2] = 'L';
            garbage[3] = 'F';
            garbage[4] = static_cast<std::uint8_t>(1 + round % 4 / 2);
            garbage[5] = static_cast<std::uint8_t>(1 + round % 8 / 4);
        }
        EXPECT_FALSE(FindVersionNote(garbage)) << "round " << round;
    }
}

TEST(VersionTextTest, UnreadableFilesGiveTheEmptyText) {
    CTempFolder folder;
    EXPECT_EQ(GetVersionText(folder.File("missing").c_str()), "");
    EXPECT_EQ(GetVersionText(folder.Path().c_str()), "") << "a folder";
    WriteWholeFile(folder.File("empty"), "");
    EXPECT_EQ(GetVersionText(folder.File("empty").c_str()), "");
    WriteWholeFile(folder.File("text"),
                   "\x7F"
                   "ELF but then just text\n");
    EXPECT_EQ(GetVersionText(folder.File("text").c_str()), "");
    // A FIFO with no writer must not block the caller.
    const std::string fifo = folder.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetVersionText(fifo.c_str()), "");
}

TEST(VersionTextTest, TheProgramFileCutShortGivesNothing) {
    const std::string program = ReadWholeFile(VLK_TSCAP_PATH);
    ASSERT_GT(program.size(), 4096u);
    const Bytes image(program.begin(), program.end());
    EXPECT_EQ(FindVersionNote(image), (VersionNumbers{3, 0, 1, 6}));
    for (const std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{16}, std::size_t{63},
                                   std::size_t{64}, image.size() / 2, image.size() - 1}) {
        const std::span<const std::uint8_t> cut(image.data(), size);
        EXPECT_FALSE(FindVersionNote(cut)) << "cut at " << size;
    }
}

}  // namespace
