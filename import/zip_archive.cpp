#include "import/zip_archive.h"

#include <zip.h>

#include "platform/language/language.h"

namespace importer {

namespace {

constexpr std::size_t kChunkSize = 256 * 1024;

std::string zipMessage(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    return message;
}

std::string tooLarge(const std::string& name)
{
    return lang::trf("the part %1 of the workbook is too large", "工作簿中的 %1 部分太大", {name});
}

}  // namespace

ZipArchive::ZipArchive(std::string_view bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!m_zip) {
        m_error = zip_error_strerror(&error);
        if (source)
            zip_source_free(source);
    }
    zip_error_fini(&error);
}

ZipArchive::~ZipArchive()
{
    if (m_zip)
        zip_discard(m_zip);
}

bool ZipArchive::contains(const std::string& name) const
{
    return m_zip && zip_name_locate(m_zip, name.c_str(), 0) >= 0;
}

bool ZipArchive::read(const std::string& name, std::size_t limit, std::string& out)
{
    out.clear();
    ZipEntry entry(*this, name, limit);
    if (!entry.isOpen()) {
        m_error = entry.error();
        return false;
    }
    std::string chunk;
    for (;;) {
        if (!entry.next(chunk)) {
            m_error = entry.error();
            return false;
        }
        if (chunk.empty())
            return true;
        out += chunk;
    }
}

ZipEntry::ZipEntry(ZipArchive& archive, const std::string& name, std::size_t limit) : m_limit(limit)
{
    const zip_int64_t index = archive.m_zip ? zip_name_locate(archive.m_zip, name.c_str(), 0) : -1;
    if (index < 0) {
        m_error = lang::trf("the workbook has no part %1", "工作簿中没有 %1 部分", {name});
        return;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.m_zip, zip_uint64_t(index), 0, &stat) == 0) {
        if (stat.valid & ZIP_STAT_SIZE)
            m_statedSize = stat.size;
        if (stat.valid & ZIP_STAT_COMP_SIZE)
            m_compressedSize = stat.comp_size;
    }
    if (m_statedSize > m_limit) {
        m_error = tooLarge(name);
        return;
    }
    m_file = zip_fopen_index(archive.m_zip, zip_uint64_t(index), 0);
    if (!m_file)
        m_error = lang::trf("the part %1 of the workbook cannot be read: %2", "无法读取工作簿中的 %1 部分：%2",
                            {name, zipMessage(zip_error_code_zip(zip_get_error(archive.m_zip)))});
}

ZipEntry::~ZipEntry()
{
    if (m_file)
        zip_fclose(m_file);
}

bool ZipEntry::next(std::string& chunk)
{
    chunk.resize(kChunkSize);
    const zip_int64_t got = zip_fread(m_file, chunk.data(), chunk.size());
    if (got < 0) {
        m_error = lang::trf("the workbook is damaged: %1", "工作簿已损坏：%1", {zip_file_strerror(m_file)});
        chunk.clear();
        return false;
    }
    chunk.resize(std::size_t(got));
    m_consumed += std::uint64_t(got);
    // The stated size may lie; the limit holds for what actually unpacks.
    if (m_consumed > m_limit) {
        m_error = lang::tr("a part of the workbook unpacks to more than it may", "工作簿中有一部分解压后超过了上限");
        chunk.clear();
        return false;
    }
    return true;
}

}  // namespace importer
