#include "model/class_FileLog.h"
#include "model/class_Folders.h"

#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class FileLogTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetFileLogEnabled(true);
        SetFileLogName("test_log.txt");
        fs::remove(FileLogPath());
    }
    void TearDown() override { SetFileLogName(""); }
};

TEST_F(FileLogTest, EntriesWithoutDate)
{
    LogToFile("", true, false);
    LogToFile("Playlist Play", true, false);
    LogToFile("part one, ", false, false);
    LogToFile("part two", true, false);
    LogToFile("Ünïcødé", false, false);
    EXPECT_EQ(Contents(FileLogPath()), "\r\nPlaylist Play\r\npart one, part two\r\nÜnïcødé");
}

TEST_F(FileLogTest, DatedEntryIsDateTimeThenMessage)
{
    LogToFile("Started", true, true);
    const std::string entry = Contents(FileLogPath());
    const QRegularExpression dated(QRegularExpression::anchoredPattern(R"(.*\d \d{1,2}:\d{2}:\d{2}( [AP]M)? Started\r\n)"));
    EXPECT_TRUE(dated.match(QString::fromStdString(entry)).hasMatch()) << entry;
}

TEST_F(FileLogTest, DisabledWritesNothing)
{
    SetFileLogEnabled(false);
    LogToFile("Closed", true, true);
    EXPECT_FALSE(fs::exists(FileLogPath()));
    SetFileLogEnabled(true);
    LogToFile("Closed", true, false);
    EXPECT_EQ(Contents(FileLogPath()), "Closed\r\n");
}

TEST_F(FileLogTest, WhereTheLogLies)
{
    SetFileLogName("SonorelLog.txt");
    EXPECT_EQ(FileLogPath(), GetDocumentsFolder() + "/SonorelLog.txt");
    const std::string elsewhere = std::string(std::getenv("HOME")) + "/logs dir/mine.txt";
    SetFileLogName(elsewhere);
    EXPECT_EQ(FileLogPath(), elsewhere);
    SetFileLogName("");
    EXPECT_EQ(FileLogPath(), GetDocumentsFolder() + "/" + ExecutableFileName() + "_log.txt");
}

TEST_F(FileLogTest, UnwritableFileIsIgnored)
{
    const std::string missingFolder = std::string(std::getenv("HOME")) + "/no such folder/log.txt";
    SetFileLogName(missingFolder);
    LogToFile("Started", true, true); // must neither throw nor create anything
    EXPECT_FALSE(fs::exists(missingFolder));
}

TEST(Folders, DocumentsAndAppDataLieInTheUsersXdgFolders)
{
    const std::string home = std::getenv("HOME");
    const std::string documents = GetDocumentsFolder();
    EXPECT_EQ(documents, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    EXPECT_EQ(documents.rfind(home, 0), 0u) << documents;
    EXPECT_TRUE(fs::is_directory(documents));
    EXPECT_NE(documents.back(), '/');

    ASSERT_NE(std::getenv("XDG_DATA_HOME"), nullptr);
    const std::string appData = GetAppDataFolder();
    EXPECT_EQ(appData, std::string(std::getenv("XDG_DATA_HOME")) + "/Sonorel");
    EXPECT_TRUE(fs::is_directory(appData));
}

TEST(Folders, ExecutableNameAndFolder)
{
    EXPECT_EQ(ExecutableFileName(), "model_class_FileLog_test");
    EXPECT_TRUE(fs::exists(ExecutableFolder() + "/" + ExecutableFileName()));
}

} // namespace
