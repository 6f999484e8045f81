#include "pe_resource.h"

#include <cctype>
#include <vector>

namespace {

const uint32_t subdirectoryBit = 0x80000000u;
const uint32_t resourceDirectoryIndex = 2;

class CImageBytes {
public:
    explicit CImageBytes(const std::string& bytes) : bytes(bytes) {}

    uint16_t Word(uint64_t offset) const
    {
        Need(offset, 2);
        return static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
    }

    uint32_t Dword(uint64_t offset) const
    {
        Need(offset, 4);
        return static_cast<uint32_t>(Word(offset)) | static_cast<uint32_t>(Word(offset + 2)) << 16;
    }

    void Need(uint64_t offset, uint64_t count) const
    {
        if (offset > bytes.size() || count > bytes.size() - offset) {
            throw NotPeImage("truncated: " + std::to_string(count) + " byte(s) at offset " + std::to_string(offset) +
                             " lie past its end (" + std::to_string(bytes.size()) + " bytes)");
        }
    }

    std::string Slice(uint64_t offset, uint64_t count) const
    {
        Need(offset, count);
        return bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(count));
    }

private:
    uint32_t Byte(uint64_t offset) const { return static_cast<unsigned char>(bytes[static_cast<size_t>(offset)]); }

    const std::string& bytes;
};

struct Section {
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

class CResourceReader {
public:
    explicit CResourceReader(const std::string& bytes) : image(bytes) { ReadHeaders(); }

    std::optional<std::string> Find(const std::string& typeName, uint16_t id) const
    {
        if (directorySize == 0) {
            return std::nullopt;
        }
        std::optional<uint32_t> types = Entry(0, [&](uint32_t name) { return NameIs(name, typeName); });
        if (!types) {
            return std::nullopt;
        }
        std::optional<uint32_t> ids =
            Entry(Subdirectory(*types), [&](uint32_t name) { return (name & subdirectoryBit) == 0 && name == id; });
        if (!ids) {
            return std::nullopt;
        }
        std::optional<uint32_t> language = Entry(Subdirectory(*ids), [](uint32_t) { return true; });
        if (!language) {
            return std::nullopt;
        }
        if ((*language & subdirectoryBit) != 0) {
            throw NotPeImage("resource directory: a language entry leads to a folder, not to data");
        }
        uint64_t entry = Inside(*language, 16);
        uint32_t dataAddress = image.Dword(entry);
        uint32_t size = image.Dword(entry + 4);
        return image.Slice(FileOffset(dataAddress, size, "resource data"), size);
    }

private:
    void ReadHeaders()
    {
        if (image.Word(0) != 0x5A4D) {
            throw NotPeImage("no MZ header");
        }
        uint64_t pe = image.Dword(0x3C);
        if (image.Dword(pe) != 0x00004550) {
            throw NotPeImage("no PE signature at offset " + std::to_string(pe));
        }
        uint64_t fileHeader = pe + 4;
        uint16_t sectionCount = image.Word(fileHeader + 2);
        uint16_t optionalSize = image.Word(fileHeader + 16);
        uint64_t optional = fileHeader + 20;
        uint16_t magic = image.Word(optional);
        uint64_t countAt = 0;
        if (magic == 0x10B) {
            countAt = optional + 92;
        } else if (magic == 0x20B) {
            countAt = optional + 108;
        } else {
            throw NotPeImage("optional header magic " + std::to_string(magic) + " is neither PE32 nor PE32+");
        }
        uint64_t sectionTable = optional + optionalSize;
        image.Need(sectionTable, uint64_t{sectionCount} * 40);
        for (uint16_t i = 0; i < sectionCount; ++i) {
            uint64_t at = sectionTable + uint64_t{i} * 40;
            sections.push_back(Section{image.Dword(at + 12), image.Dword(at + 16), image.Dword(at + 20)});
        }
        uint64_t directories = countAt + 4;
        uint64_t resourceEntry = directories + resourceDirectoryIndex * 8;
        // The directory is only there when the header counts it and holds it.
        if (image.Dword(countAt) <= resourceDirectoryIndex || resourceEntry + 8 > sectionTable) {
            return;
        }
        uint32_t address = image.Dword(resourceEntry);
        uint32_t size = image.Dword(resourceEntry + 4);
        if (address == 0 || size == 0) {
            return;
        }
        directoryStart = FileOffset(address, size, "the resource directory");
        directorySize = size;
    }

    // Where size bytes at an address of the loaded image lie in the file.
    uint64_t FileOffset(uint32_t address, uint32_t size, const char* what) const
    {
        for (const Section& section : sections) {
            if (address >= section.virtualAddress && address - section.virtualAddress < section.rawSize) {
                uint64_t into = address - section.virtualAddress;
                if (size > section.rawSize - into) {
                    break;
                }
                uint64_t offset = section.rawOffset + into;
                image.Need(offset, size);
                return offset;
            }
        }
        throw NotPeImage(std::string(what) + " (address " + std::to_string(address) + ", " + std::to_string(size) +
                         " bytes) lies in no section's data");
    }

    // The file offset of count bytes at offset into the resource directory.
    uint64_t Inside(uint64_t offset, uint64_t count) const
    {
        if (offset > directorySize || count > directorySize - offset) {
            throw NotPeImage("resource directory: offset " + std::to_string(offset) + " lies outside its " +
                             std::to_string(directorySize) + " bytes");
        }
        return directoryStart + offset;
    }

    uint32_t Subdirectory(uint32_t target) const
    {
        if ((target & subdirectoryBit) == 0) {
            throw NotPeImage("resource directory: a type or id entry leads to data, not to a folder");
        }
        return target & ~subdirectoryBit;
    }

    // The target of the first entry of the directory at offset whose name matches.
    template <typename Matches>
    std::optional<uint32_t> Entry(uint32_t offset, Matches matches) const
    {
        uint64_t directory = Inside(offset, 16);
        uint32_t count = uint32_t{image.Word(directory + 12)} + image.Word(directory + 14);
        Inside(uint64_t{offset} + 16, uint64_t{count} * 8);
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t entry = directory + 16 + uint64_t{i} * 8;
            if (matches(image.Dword(entry))) {
                return image.Dword(entry + 4);
            }
        }
        return std::nullopt;
    }

    // Type names are kept upper-case and looked up without regard to case.
    bool NameIs(uint32_t name, const std::string& wanted) const
    {
        if ((name & subdirectoryBit) == 0) {
            return false;
        }
        uint32_t at = name & ~subdirectoryBit;
        uint64_t text = Inside(at, 2);
        uint16_t length = image.Word(text);
        Inside(uint64_t{at} + 2, uint64_t{length} * 2);
        if (length != wanted.size()) {
            return false;
        }
        for (uint16_t i = 0; i < length; ++i) {
            uint16_t unit = image.Word(text + 2 + uint64_t{i} * 2);
            if (unit > 0x7F || std::toupper(unit) != std::toupper(static_cast<unsigned char>(wanted[i]))) {
                return false;
            }
        }
        return true;
    }

    CImageBytes image;
    std::vector<Section> sections;
    uint64_t directoryStart = 0;
    uint32_t directorySize = 0;
};

}  // namespace

std::optional<std::string> FindPeResource(const std::string& image, const std::string& typeName, uint16_t id)
{
    return CResourceReader(image).Find(typeName, id);
}
