#pragma once
// A read-only view of a ZIP archive held in memory (through libzip), as far
// as the workbook reader needs it: entries by name, read whole or in chunks,
// each with a limit on its unpacked size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct zip;
struct zip_file;

namespace importer {

class ZipEntry;

class ZipArchive {
public:
    // The bytes must outlive the archive.
    explicit ZipArchive(std::string_view bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    const std::string& error() const { return m_error; }
    bool contains(const std::string& name) const;
    // Reads a whole entry; false with error() when it is missing, damaged or
    // unpacks to more than limit bytes.
    bool read(const std::string& name, std::size_t limit, std::string& out);

private:
    friend class ZipEntry;
    zip* m_zip = nullptr;
    std::string m_error;
};

// One entry, read in chunks.
class ZipEntry {
public:
    ZipEntry(ZipArchive& archive, const std::string& name, std::size_t limit);
    ~ZipEntry();
    ZipEntry(const ZipEntry&) = delete;
    ZipEntry& operator=(const ZipEntry&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    // The unpacked size the archive states (for progress; not trusted).
    std::uint64_t statedSize() const { return m_statedSize; }
    // The entry's size in the archive, which the archive's own size bounds.
    std::uint64_t compressedSize() const { return m_compressedSize; }
    std::uint64_t consumed() const { return m_consumed; }
    // The next chunk, empty at the end; false with error() on damage or
    // when the entry unpacks to more than its limit.
    bool next(std::string& chunk);
    const std::string& error() const { return m_error; }

private:
    zip_file* m_file = nullptr;
    std::uint64_t m_statedSize = 0;
    std::uint64_t m_compressedSize = 0;
    std::uint64_t m_consumed = 0;
    std::size_t m_limit = 0;
    std::string m_error;
};

}  // namespace importer
