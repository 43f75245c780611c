// The work folder of an update run: its own, its owner's alone from the start, and gone with
// the object; the work files in it are created, never opened through what was there.

#include "platform/PrivateTempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/BinaryFile.h"

namespace harmoload {
namespace {

TEST(PrivateTempFolder, IsItsOwnersAloneTakesNewFilesOnlyAndGoesWithItsFiles) {
    std::filesystem::path made;
    {
        PrivateTempFolder folder;
        ASSERT_TRUE(folder.created()) << folder.error();
        const std::string path = folder.path();
        made = std::filesystem::path(std::u8string(path.begin(), path.end()));
#ifndef _WIN32
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        // A link planted where a work file goes is not written through.
        std::filesystem::create_symlink(made / "elsewhere", made / "TEMP.INI");
        BinaryFile planted;
        EXPECT_FALSE(planted.open(path + "TEMP.INI", FileAccess::CreateNew));
        EXPECT_FALSE(std::filesystem::exists(made / "elsewhere"));
#endif
        BinaryFile file;
        EXPECT_TRUE(file.open(path + "TEMP.BIN", FileAccess::CreateNew));
        file.close();
        EXPECT_FALSE(file.open(path + "TEMP.BIN", FileAccess::CreateNew));
    }
    EXPECT_FALSE(std::filesystem::exists(made));
}

#ifndef _WIN32
TEST(PrivateTempFolder, AFolderCreatedWithoutTheOwnersFullAccessIsRemovedAndRefused) {
    // A mask that takes the owner's write permission away from what mkdtemp creates.
    const mode_t saved = ::umask(0277);
    PrivateTempFolder folder;
    ::umask(saved);
    EXPECT_FALSE(folder.created());
    EXPECT_NE(folder.error().find("not created for its owner alone"), std::string::npos)
        << folder.error();
}
#endif

}  // namespace
}  // namespace harmoload
