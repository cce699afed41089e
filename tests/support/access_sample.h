#pragma once
// The genuine Access sample lives outside the repository and may be absent on
// another machine; tests that need it skip by name. Recognising an Access
// file needs only its header, which tests write themselves.

#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

// The sample's path, or "" when this machine does not have it. shared/ lies
// beside the checkout, or one level higher for a worktree in a folder of its own.
inline std::string accessSamplePath()
{
    for (const char* up : {"..", "../.."}) {
        const std::filesystem::path path = std::filesystem::path(SORTIA_SOURCE_DIR) / up / "shared" / "testdata" /
                                           "mdb" / "DateTestDatabase.mdb";
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec))
            return path.string();
    }
    return {};
}

inline const char* accessSampleMissingReason()
{
    return "Access sample DateTestDatabase.mdb is not on this machine (../shared/testdata/mdb)";
}

// A file that starts like an Access (Jet 4) database: a page of zeros with
// the engine's signature at offset 4. Enough for recognition, not for reading.
inline void writeAccessHeader(const std::string& path)
{
    std::string page(2048, '\0');
    page.replace(4, 15, "Standard Jet DB");
    std::ofstream(path, std::ios::binary) << page;
}

}  // namespace testsupport
