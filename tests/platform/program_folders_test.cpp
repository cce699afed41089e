// Where the program's files are: beside it when its folder holds images/,
// under share/sortia and the user's data folder when it is installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/folders/program_folders.h"

namespace {

namespace fs = std::filesystem;

class ProgramFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "sortia-folders-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_savedData = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
        m_savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    }
    void TearDown() override
    {
        folders::setProgramFolderForTest("");
        restore("XDG_DATA_HOME", m_savedData);
        restore("HOME", m_savedHome);
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    static void restore(const char* name, const std::string& value)
    {
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
    fs::path m_root;
    std::string m_savedData, m_savedHome;
};

TEST_F(ProgramFoldersTest, AFolderWithItsOwnPicturesKeepsEverythingBesideTheProgram)
{
    fs::create_directories(m_root / "dist" / "images");
    // Even with an installed tree next to it, the program's own folder wins.
    fs::create_directories(m_root / "share" / "sortia" / "images");
    folders::setProgramFolderForTest((m_root / "dist").string());
    EXPECT_FALSE(folders::installed());
    EXPECT_EQ(folders::resourceFolder(), (m_root / "dist").string());
    EXPECT_EQ(folders::databasePath(), (m_root / "dist" / "Sbase.mdb").string());
}

TEST_F(ProgramFoldersTest, AnInstalledCopyReadsShareAndKeepsItsDatabaseInTheDataFolder)
{
    fs::create_directories(m_root / "bin");
    fs::create_directories(m_root / "share" / "sortia" / "images");
    folders::setProgramFolderForTest((m_root / "bin").string());
    setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    EXPECT_TRUE(folders::installed());
    EXPECT_EQ(folders::resourceFolder(), (m_root / "share" / "sortia").string());
    EXPECT_EQ(folders::databasePath(), (m_root / "data" / "sortia" / "Sbase.mdb").string());
    EXPECT_FALSE(fs::exists(m_root / "data")) << "nothing is created";
}

TEST_F(ProgramFoldersTest, TheDataFolderFallsBackToHome)
{
    setenv("HOME", "/home/operator", 1);
    for (const char* dataHome : {"", "relative/data"}) {
        setenv("XDG_DATA_HOME", dataHome, 1);
        EXPECT_EQ(folders::userDataFolder(), "/home/operator/.local/share/sortia") << dataHome;
    }
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(folders::userDataFolder(), "/home/operator/.local/share/sortia");
}

TEST_F(ProgramFoldersTest, AFolderWithoutPicturesAnywhereStaysTheProgramFolder)
{
    fs::create_directories(m_root / "bin");
    folders::setProgramFolderForTest((m_root / "bin").string());
    EXPECT_FALSE(folders::installed());
    EXPECT_EQ(folders::databasePath(), (m_root / "bin" / "Sbase.mdb").string());
}

}  // namespace
