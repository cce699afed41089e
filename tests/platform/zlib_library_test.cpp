#include "platform/zlib/zlib_library.h"

#include <gtest/gtest.h>

namespace {

// The build machine has the system zlib; the switch must hide every entry.
TEST(ZlibLibrary, FoundByNameAndHiddenOnRequest)
{
    for (const char* name : {"crc32", "uncompress", "compress2", "adler32"})
        EXPECT_TRUE(zlib::IsDllFunctionAvailable(name)) << name;
    EXPECT_FALSE(zlib::IsDllFunctionAvailable("no_such_function"));
    ASSERT_NE(zlib::crc32Function(), nullptr);
    // CRC-32 of "123456789" is the standard check value.
    const unsigned char digits[] = "123456789";
    EXPECT_EQ(zlib::crc32Function()(0, digits, 9), 0xCBF43926ul);

    zlib::setSimulateAbsent(true);
    EXPECT_TRUE(zlib::simulateAbsent());
    EXPECT_FALSE(zlib::IsDllFunctionAvailable("crc32"));
    EXPECT_EQ(zlib::crc32Function(), nullptr);
    EXPECT_EQ(zlib::uncompressFunction(), nullptr);
    EXPECT_EQ(zlib::compress2Function(), nullptr);
    EXPECT_EQ(zlib::adler32Function(), nullptr);
    zlib::setSimulateAbsent(false);
    EXPECT_NE(zlib::uncompressFunction(), nullptr);
}

}  // namespace
