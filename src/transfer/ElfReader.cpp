#include "transfer/ElfReader.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gelf.h>
#include <libelf.h>

#include "transfer/FirmwareFileAccess.h"
#include "transfer/FirmwareLimits.h"

namespace {

struct ElfCloser {
    void operator()(Elf* elf) const { elf_end(elf); }
};

std::string libraryFault(const std::string& what) {
    const char* message = elf_errmsg(-1);
    return what + (message ? std::string(": ") + message : std::string());
}

// With extended numbering the counts live in section 0 and may claim billions, and the library
// sizes its tables by them before anything can be checked. No firmware image needs 65535 headers.
bool claimsExtendedNumbering(int fd) {
    const std::string header = readAt(fd, 0, sizeof(Elf64_Ehdr));
    const auto field = [&header](std::size_t offset, std::size_t size) {
        return offset + size <= header.size() &&
               header.find_first_not_of('\0', offset) < offset + size; // non-zero in either byte order
    };
    const bool wide = header.size() > EI_CLASS && header[EI_CLASS] == ELFCLASS64;
    const std::size_t shoff = wide ? offsetof(Elf64_Ehdr, e_shoff) : offsetof(Elf32_Ehdr, e_shoff);
    const std::size_t phnum = wide ? offsetof(Elf64_Ehdr, e_phnum) : offsetof(Elf32_Ehdr, e_phnum);
    const std::size_t shnum = wide ? offsetof(Elf64_Ehdr, e_shnum) : offsetof(Elf32_Ehdr, e_shnum);
    const bool phnumExtended = phnum + 2 <= header.size() && header.compare(phnum, 2, "\xFF\xFF") == 0;
    const bool shnumExtended = field(shoff, wide ? 8 : 4) && shnum + 2 <= header.size() && !field(shnum, 2);
    return phnumExtended || shnumExtended;
}

// A stretch of the file.
struct FileRange {
    std::uint64_t offset;
    std::uint64_t end;
};

// Where the allocated sections with content lie in the file, as disjoint ranges in file order.
std::vector<FileRange> allocatedSections(Elf* elf) {
    std::vector<FileRange> sections;
    for (Elf_Scn* scn = elf_nextscn(elf, nullptr); scn; scn = elf_nextscn(elf, scn)) {
        GElf_Shdr header;
        if (gelf_getshdr(scn, &header) && (header.sh_flags & SHF_ALLOC) && header.sh_type != SHT_NOBITS &&
            header.sh_size > 0 && header.sh_size <= ~header.sh_offset)
            sections.push_back({header.sh_offset, header.sh_offset + header.sh_size});
    }
    std::sort(sections.begin(), sections.end(),
              [](const FileRange& a, const FileRange& b) { return a.offset < b.offset; });
    std::vector<FileRange> joined;
    for (const FileRange& section : sections) {
        if (!joined.empty() && section.offset <= joined.back().end)
            joined.back().end = std::max(joined.back().end, section.end);
        else
            joined.push_back(section);
    }
    return joined;
}

// The parts of `segment` that the sections cover: a search and a walk over the ranges it meets.
std::vector<FileRange> partsInside(const FileRange& segment, const std::vector<FileRange>& sections) {
    if (sections.empty())
        return {segment};
    std::vector<FileRange> parts;
    auto range = std::partition_point(sections.begin(), sections.end(), [&](const FileRange& section) {
        return section.end <= segment.offset;
    });
    for (; range != sections.end() && range->offset < segment.end; ++range)
        parts.push_back({std::max(range->offset, segment.offset), std::min(range->end, segment.end)});
    return parts;
}

// A stretch of the file loaded at its offset plus `shift` (modulo 2^64). Stretches with one shift
// put each file byte at one address, so where they overlap they agree by construction.
struct LoadPiece {
    std::uint64_t shift;
    FileRange range;
    std::size_t segment;
};

// Pieces of one shift joined where they overlap or touch: segments that repeat each other are
// read once.
std::vector<LoadPiece> joinedByShift(std::vector<LoadPiece> pieces) {
    std::sort(pieces.begin(), pieces.end(), [](const LoadPiece& a, const LoadPiece& b) {
        return a.shift != b.shift ? a.shift < b.shift : a.range.offset < b.range.offset;
    });
    std::vector<LoadPiece> joined;
    for (const LoadPiece& piece : pieces) {
        LoadPiece* last = joined.empty() ? nullptr : &joined.back();
        if (last && last->shift == piece.shift && piece.range.offset <= last->range.end) {
            last->range.end = std::max(last->range.end, piece.range.end);
            last->segment = std::min(last->segment, piece.segment);
        } else {
            joined.push_back(piece);
        }
    }
    return joined;
}

} // namespace

ElfFile readElfFile(int fd) {
    ElfFile file;
    const auto refuse = [&file](std::string reason) {
        file.fault = FileFault{0, std::move(reason)};
        return std::move(file);
    };
    if (claimsExtendedNumbering(fd))
        return refuse("more than 65534 program headers or 65279 sections, more than any firmware image has");
    if (elf_version(EV_CURRENT) == EV_NONE)
        return refuse(libraryFault("the ELF library cannot start"));
    // Read as needed: the headers, then only the bytes of the load segments.
    std::unique_ptr<Elf, ElfCloser> elf(elf_begin(fd, ELF_C_READ, nullptr));
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF)
        return refuse(libraryFault("not a readable ELF file"));
    GElf_Ehdr header;
    if (!gelf_getehdr(elf.get(), &header))
        return refuse(libraryFault("the ELF header cannot be read"));
    std::size_t segmentCount = 0;
    if (elf_getphdrnum(elf.get(), &segmentCount) != 0)
        return refuse(libraryFault("the program headers cannot be read"));

    const std::uint64_t size = fileSize(fd);
    const std::vector<FileRange> sections = allocatedSections(elf.get());
    std::vector<LoadPiece> pieces;
    for (std::size_t i = 0; i < segmentCount; ++i) {
        GElf_Phdr segment;
        if (!gelf_getphdr(elf.get(), static_cast<int>(i), &segment))
            return refuse(libraryFault("program header " + std::to_string(i) + " cannot be read"));
        if (segment.p_type != PT_LOAD || segment.p_filesz == 0)
            continue;
        // The file holds p_filesz bytes; the rest of p_memsz (.bss) is zero-filled and not sent.
        if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset)
            return refuse("segment " + std::to_string(i) + " at file offset " +
                          addressText(segment.p_offset) + " reaches past the end of the file");
        const FileRange inFile{segment.p_offset, segment.p_offset + segment.p_filesz};
        for (const FileRange& part : partsInside(inFile, sections)) {
            if (segment.p_paddr > 0xFFFFFFFFu || part.offset - inFile.offset > 0xFFFFFFFFu)
                return refuse("segment " + std::to_string(i) + " loads at " + addressText(segment.p_paddr) +
                              ", past the 32-bit address space");
            if (pieces.size() == kMaxImagePieces)
                return refuse("more than " + std::to_string(kMaxImagePieces) + " separate pieces of data");
            pieces.push_back({segment.p_paddr - segment.p_offset, part, i});
        }
    }
    ImageBuilder builder;
    for (const LoadPiece& piece : joinedByShift(std::move(pieces))) {
        const std::string where = "segment " + std::to_string(piece.segment) + ": ";
        const std::uint64_t length = piece.range.end - piece.range.offset;
        std::string fault;
        // Asked before the bytes are read, so that a huge segment costs nothing.
        if (!builder.hasRoomFor(length, fault))
            return refuse(where + fault);
        const std::string bytes = readAt(fd, piece.range.offset, static_cast<std::size_t>(length));
        if (!builder.add(piece.range.offset + piece.shift,
                         std::vector<std::uint8_t>(bytes.begin(), bytes.end()), piece.segment, fault))
            return refuse(where + fault);
    }
    BuiltImage built = builder.finish(std::nullopt);
    if (built.conflict) {
        const ValueConflict& conflict = *built.conflict;
        return refuse("segments " + std::to_string(conflict.firstSource) + " and " +
                      std::to_string(conflict.secondSource) + " give " + addressText(conflict.address) +
                      " two values, " + hexByteText(conflict.firstValue) + " and " +
                      hexByteText(conflict.secondValue));
    }
    if (built.image.segments.empty())
        return refuse("no loadable segment holds bytes in the file");
    if (header.e_entry != 0 && header.e_entry <= 0xFFFFFFFFu)
        built.image.startAddress = static_cast<std::uint32_t>(header.e_entry);
    file.image = std::move(built.image);
    return file;
}
