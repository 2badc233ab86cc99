#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FirmwareFiles.h"
#include "transfer/ElfReader.h"
#include "transfer/FirmwareFile.h"
#include "transfer/FirmwareFileAccess.h"
#include "transfer/FirmwareImage.h"
#include "transfer/FirmwareLimits.h"
#include "transfer/LoadError.h"

// ELF load segments, the file size limit and the image's CRC-32.
#ifndef _WIN32
// Load segments give the bytes the file holds at their load addresses; overlapping ones must agree.
TEST(ElfFile, TakesTheLoadSegmentsFileBytes) {
    const std::string cut = elfFile({{0x08000000, {1, 2, 3, 4}}});
    std::string extendedCount = elfFile({{0x08000000, {1}}});
    extendedCount[offsetof(Elf32_Ehdr, e_phnum)] = extendedCount[offsetof(Elf32_Ehdr, e_phnum) + 1] = '\xFF';
    // Segments 1 and 2 point at segment 0's 800000 bytes in the file.
    std::string mappedThrice = elfFile(
        {{0x08000000, std::vector<std::uint8_t>(800000, 1)}, {0x08200000, {1}}, {0x08400000, {1}}}, false);
    Elf32_Phdr first;
    std::memcpy(&first, mappedThrice.data() + sizeof(Elf32_Ehdr), sizeof first);
    for (std::size_t i = 1; i <= 2; ++i) {
        const std::size_t at = sizeof(Elf32_Ehdr) + i * sizeof(Elf32_Phdr);
        std::memcpy(mappedThrice.data() + at + offsetof(Elf32_Phdr, p_offset), &first.p_offset, 4);
        std::memcpy(mappedThrice.data() + at + offsetof(Elf32_Phdr, p_filesz), &first.p_filesz, 4);
        std::memcpy(mappedThrice.data() + at + offsetof(Elf32_Phdr, p_memsz), &first.p_memsz, 4);
    }
    const struct {
        const char* name;
        std::string file;
        std::string fault;
        Segments segments;
    } table[] = {
        {"a RAM segment's .bss reaching past the file's end",
         elfFile({{0x08000000, {1, 2}}, {0x08000002, {3}, 0x10000}}),
         "(good)",
         {{0x08000000, {1, 2, 3}}}},
        {"a longer segment at the same address",
         elfFile({{0x08000000, {1, 2, 3, 4}}, {0x08000000, {1, 2}}}),
         "(good)",
         {{0x08000000, {1, 2, 3, 4}}}},
        {"without section headers",
         elfFile({{0x20, {5}}, {0x10, {6, 7}}}, false),
         "(good)",
         {{0x10, {6, 7}}, {0x20, {5}}}},
        {"overlapping segments that differ",
         elfFile({{0x08000000, {1, 2, 3}}, {0x08000001, {2, 9}}}),
         "segments 0 and 1 give 0x08000002 two values, 03 and 09",
         {}},
        {"a segment cut short",
         cut.substr(0, cut.size() - 1),
         "segment 0 at file offset 0x000000A4 reaches past the end of the file",
         {}},
        {"the same bytes loaded at three addresses, within the data limit only once",
         mappedThrice,
         "segment 2: more than 2295000 bytes of data, more than 9000 records can carry",
         {}},
        {"extended header numbering",
         extendedCount,
         "more than 65534 program headers or 65279 sections, more than any firmware image has",
         {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const ElfFile file = readElfFile(memoryFile(row.file).get());
        EXPECT_EQ(faultOf(file.fault), row.fault);
        EXPECT_EQ(segmentsOf(file.image), row.segments);
    }
}
#else
// Builds without libelf refuse an ELF file with a load error that says what to do instead.
TEST(ElfFile, IsRefusedWhereNoElfReaderIsBuilt) {
    try {
        readFirmwareFile(memoryFile("\x7F"
                                    "ELF\x01\x01\x01")
                             .get(),
                         {});
        ADD_FAILURE() << "an ELF file was taken";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.number(), loaderrors::kInvalidFileFormat);
        EXPECT_STREQ(error.what(),
                     "ELF files cannot be read by this build: convert the file to Intel HEX first");
    }
}
#endif

// Checked before anything is read: a (sparse) file of exactly the limit is taken, a byte more is not.
TEST(FirmwareFile, ASizeOfExactlyTheLimitIsTakenAndOneByteMoreRefused) {
    const FileDescriptor file = memoryFile("");
    ASSERT_TRUE(resizeOpenFile(file.get(), kMaxFirmwareFileBytes));
    EXPECT_EQ(faultOf(oversize(file.get())), "(good)");
    ASSERT_TRUE(resizeOpenFile(file.get(), kMaxFirmwareFileBytes + 1));
    EXPECT_EQ(faultOf(oversize(file.get())),
              "the file holds 67108865 bytes, more than the 64 MiB any firmware file needs");
}

// A file that grows while it is read: its reader takes up to the limit and refuses the byte past it,
// never ending quietly at the limit as though the file ended there.
TEST(FirmwareFile, AFileGrowingPastTheLimitWhileReadIsRefused) {
    const FileDescriptor file = memoryFile(":00000001FF\r\n");
    const ReadChunk read = chunksOf(file.get());
    std::string chunk(std::size_t{1} << 20, '\0');
    EXPECT_EQ(read(chunk.data(), chunk.size()), 13u);
    ASSERT_TRUE(resizeOpenFile(file.get(), kMaxFirmwareFileBytes));
    std::uint64_t taken = 13;
    while (const std::size_t got = read(chunk.data(), chunk.size()))
        taken += got;
    EXPECT_EQ(taken, kMaxFirmwareFileBytes); // exactly the limit: read to its end
    ASSERT_TRUE(resizeOpenFile(file.get(), kMaxFirmwareFileBytes + 1));
    try {
        while (read(chunk.data(), chunk.size()) != 0) {
        }
        ADD_FAILURE() << "read past the limit without a word";
    } catch (const LoadError& error) {
        EXPECT_STREQ(error.what(), "the file holds more than the 64 MiB any firmware file needs");
    }
}

// Paths are UTF-8 everywhere, whatever the system takes at its own calls; bytes come as written.
TEST(FirmwareFile, OpensByItsUtf8NameAndReadsItsBytesUnchanged) {
    const std::string name = "pr\xC3\xBC"
                             "fung-\xCE\xA9.hex"; // "prüfung-Ω.hex"
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       std::filesystem::path(std::u8string(name.begin(), name.end()));
    const std::string bytes = ":00000001FF\r\n\x1A\n";
    std::ofstream(path, std::ios::binary) << bytes;
    const std::u8string utf8 = path.u8string();
    {
        const FileDescriptor file = openFirmwareFile(std::string(utf8.begin(), utf8.end()));
        EXPECT_EQ(readAt(file.get(), 0, 64), bytes);
    }
    std::filesystem::remove(path);
}

TEST(FirmwareImage, Crc32HasTheCatalogueCheckValue) {
    const std::string digits = "123456789";
    FirmwareImage image{
        {{0, {digits.begin(), digits.begin() + 4}}, {100, {digits.begin() + 4, digits.end()}}}, std::nullopt};
    EXPECT_EQ(imageCrc32(image), 0xCBF43926u);
    EXPECT_EQ(image.byteCount(), 9u);
}
