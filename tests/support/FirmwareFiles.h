#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestFiles.h"
#include "transfer/FirmwareImage.h"

#ifndef _WIN32
#include <elf.h>
#endif

// A fault as its text, "(good)" for none: a table row names what it expects in one word.
inline std::string faultOf(const std::optional<FileFault>& fault) {
    return fault ? fault->text() : "(good)";
}

using Segments = std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>;

// Each segment's address and bytes, to compare whole images at once.
inline Segments segmentsOf(const FirmwareImage& image) {
    Segments segments;
    for (const ImageSegment& segment : image.segments)
        segments.emplace_back(segment.address, segment.bytes);
    return segments;
}

#ifndef _WIN32 // ELF files are read through libelf, which Windows builds lack
// One load segment of an ELF file: its load address, the bytes the file holds, and the size in
// memory when it is larger (a zero-filled .bss part).
struct ElfSegment {
    std::uint32_t paddr = 0;
    std::vector<std::uint8_t> bytes;
    std::uint32_t memsz = 0;
};

// A 32-bit little-endian ELF executable: the headers, then each segment's bytes in turn; with
// `sections`, one allocated section over each segment's bytes.
inline std::string elfFile(const std::vector<ElfSegment>& segments, bool sections = true) {
    const auto count = static_cast<std::uint32_t>(segments.size());
    Elf32_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS32;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_EXEC;
    header.e_machine = EM_ARM;
    header.e_version = EV_CURRENT;
    header.e_ehsize = sizeof(Elf32_Ehdr);
    header.e_phoff = sizeof(Elf32_Ehdr);
    header.e_phentsize = sizeof(Elf32_Phdr);
    header.e_phnum = static_cast<Elf32_Half>(count);
    header.e_shentsize = sizeof(Elf32_Shdr);
    header.e_shnum = sections ? static_cast<Elf32_Half>(count + 1) : 0;
    header.e_shoff = sections ? header.e_phoff + count * sizeof(Elf32_Phdr) : 0;
    std::uint32_t offset = header.e_phoff + count * sizeof(Elf32_Phdr) + header.e_shnum * sizeof(Elf32_Shdr);

    std::string headers(reinterpret_cast<const char*>(&header), sizeof header);
    std::string sectionHeaders(sections ? sizeof(Elf32_Shdr) : 0, '\0'); // section 0 is empty
    std::string data;
    for (const ElfSegment& segment : segments) {
        const auto size = static_cast<std::uint32_t>(segment.bytes.size());
        Elf32_Phdr program{PT_LOAD, offset, segment.paddr, segment.paddr, size, std::max(size, segment.memsz),
                           PF_R,    1};
        headers.append(reinterpret_cast<const char*>(&program), sizeof program);
        Elf32_Shdr section{0, SHT_PROGBITS, SHF_ALLOC, segment.paddr, offset, size, 0, 0, 1, 0};
        if (sections)
            sectionHeaders.append(reinterpret_cast<const char*>(&section), sizeof section);
        data.append(segment.bytes.begin(), segment.bytes.end());
        offset += size;
    }
    return headers + sectionHeaders + data;
}
#endif
