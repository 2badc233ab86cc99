#include "transfer/ElfReader.h"

#include <memory>
#include <string>
#include <vector>

#include <gelf.h>
#include <libelf.h>

namespace {

struct ElfCloser {
    void operator()(Elf* elf) const { elf_end(elf); }
};

std::string libraryFault(const std::string& what) {
    const char* message = elf_errmsg(-1);
    return what + (message ? std::string(": ") + message : std::string());
}

struct FileRange {
    std::uint64_t offset;
    std::uint64_t size;
    // Without sums, which sizes read from a damaged file could wrap.
    bool holds(std::uint64_t from, std::uint64_t length) const {
        return from >= offset && length <= size && from - offset <= size - length;
    }
};

std::vector<FileRange> allocatedSections(Elf* elf) {
    std::vector<FileRange> sections;
    for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn; scn = elf_nextscn(elf, scn)) {
        GElf_Shdr header;
        if (gelf_getshdr(scn, &header) && (header.sh_flags & SHF_ALLOC) && header.sh_type != SHT_NOBITS &&
            header.sh_size > 0)
            sections.push_back({header.sh_offset, header.sh_size});
    }
    return sections;
}

} // namespace

ElfFile readElfFile(std::string_view bytes) {
    ElfFile file;
    const auto refuse = [&file](std::string reason) {
        file.fault = FileFault{0, std::move(reason)};
        return std::move(file);
    };
    if (elf_version(EV_CURRENT) == EV_NONE)
        return refuse(libraryFault("the ELF library cannot start"));
    // The library may convert headers in place in the buffer it is given, so it gets a copy; the
    // bytes sent are taken from the caller's buffer.
    std::vector<char> copy(bytes.begin(), bytes.end());
    std::unique_ptr<Elf, ElfCloser> elf(elf_memory(copy.data(), copy.size()));
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF)
        return refuse(libraryFault("not a readable ELF file"));
    GElf_Ehdr header;
    if (!gelf_getehdr(elf.get(), &header))
        return refuse(libraryFault("the ELF header cannot be read"));
    std::size_t segmentCount = 0;
    if (elf_getphdrnum(elf.get(), &segmentCount) != 0)
        return refuse(libraryFault("the program headers cannot be read"));

    const std::vector<FileRange> sections = allocatedSections(elf.get());
    ImageBuilder builder;
    for (std::size_t i = 0; i < segmentCount; ++i) {
        GElf_Phdr segment;
        if (!gelf_getphdr(elf.get(), static_cast<int>(i), &segment))
            return refuse(libraryFault("program header " + std::to_string(i) + " cannot be read"));
        if (segment.p_type != PT_LOAD || segment.p_filesz == 0)
            continue;
        const FileRange inFile{segment.p_offset, segment.p_filesz};
        if (inFile.offset > bytes.size() || inFile.size > bytes.size() - inFile.offset)
            return refuse("segment " + std::to_string(i) + " at file offset " + addressText(inFile.offset) +
                          " reaches past the end of the file");
        std::vector<FileRange> parts;
        for (const FileRange& section : sections)
            if (inFile.holds(section.offset, section.size))
                parts.push_back(section);
        if (sections.empty())
            parts.push_back(inFile);
        for (const FileRange& part : parts) {
            const std::uint64_t delta = part.offset - inFile.offset;
            if (segment.p_paddr > 0xFFFFFFFFu || delta > 0xFFFFFFFFu)
                return refuse("segment " + std::to_string(i) + " loads at " + addressText(segment.p_paddr) +
                              ", past the 32-bit address space");
            const std::uint64_t address = segment.p_paddr + delta;
            const auto* first = reinterpret_cast<const std::uint8_t*>(bytes.data()) + part.offset;
            std::string fault;
            if (!builder.add(address, std::vector<std::uint8_t>(first, first + part.size), fault))
                return refuse("segment " + std::to_string(i) + ": " + fault);
        }
    }
    FirmwareImage image = builder.finish(std::nullopt);
    if (image.segments.empty())
        return refuse("no loadable segment holds bytes in the file");
    if (header.e_entry != 0 && header.e_entry <= 0xFFFFFFFFu)
        image.startAddress = static_cast<std::uint32_t>(header.e_entry);
    file.image = std::move(image);
    return file;
}
