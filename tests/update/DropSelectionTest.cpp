#include "update/DropSelection.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::TempFolder;

TEST(HasPackageExtension, IsDatInAnyLetterCaseAfterTheLastDot) {
    for (const char* path : {"a.dat", "a.DAT", "a.Dat", "a.dAt", "v1.2.DAT", ".dat"}) {
        EXPECT_TRUE(HasPackageExtension(path)) << path;
    }
    for (const char* path : {"a.data", "a.da", "a.dat.bak", "adat", "a.dat ", "", "a.", "DAT"}) {
        EXPECT_FALSE(HasPackageExtension(path)) << path;
    }
}

TEST(HasPackageExtension, DotInAFolderNameIsNoExtension) {
    const std::string separator(1, kPathSeparator);
    EXPECT_FALSE(HasPackageExtension("updates.dat" + separator + "readme"));
}

class DroppedPackageTest : public ::testing::Test {
  protected:
    std::string folderAt(const std::string& name) {
        std::filesystem::create_directories(TempFolder::AsPath(folder.path(name)));
        return folder.path(name);
    }
    TempFolder folder;
};

TEST_F(DroppedPackageTest, FoldersBeforeThePackageAreSkipped) {
    const std::string package = folder.writeText("update.Dat", "x");
    EXPECT_EQ(DroppedPackage({folderAt("one.dat"), folderAt("two"), package}), package);
}

TEST_F(DroppedPackageTest, OnlyTheFirstFileCounts) {
    const std::string notes = folder.writeText("notes.txt", "x");
    const std::string package = folder.writeText("update.dat", "x");
    EXPECT_EQ(DroppedPackage({notes, package}), std::nullopt);
    EXPECT_EQ(DroppedPackage({package, notes}), package);
}

TEST_F(DroppedPackageTest, FoldersOnlyOrNothingOpensNothing) {
    EXPECT_EQ(DroppedPackage({folderAt("a.dat"), folderAt("b")}), std::nullopt);
    EXPECT_EQ(DroppedPackage({}), std::nullopt);
}

TEST_F(DroppedPackageTest, MissingFileIsNoFolder) {
    // Opening it then reports that it cannot be opened.
    const std::string missing = folder.path("gone.DAT");
    EXPECT_EQ(DroppedPackage({missing, folder.writeText("b.dat", "x")}), missing);
}

}  // namespace
}  // namespace harmoload
