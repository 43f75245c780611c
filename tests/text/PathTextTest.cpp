#include "text/PathText.h"

#include <gtest/gtest.h>

#include "platform/Files.h"

namespace harmoload {
namespace {

std::string Sep(std::string path) {
    for (char& c : path) {
        if (c == '|') {
            c = kPathSeparator;
        }
    }
    return path;
}

TEST(PathText, TruncateKeepsEverythingUpToTheLastSeparator) {
    std::string path = Sep("|a|b|prog.exe");
    TruncateToDirectory(path);
    EXPECT_EQ(path, Sep("|a|b|"));

    path = Sep("|a|b|");
    TruncateToDirectory(path);
    EXPECT_EQ(path, Sep("|a|b|"));

    path = "prog.exe";
    TruncateToDirectory(path);
    EXPECT_EQ(path, "");

    path = "";
    TruncateToDirectory(path);
    EXPECT_EQ(path, "");
}

TEST(PathText, AssignDirectoryReplacesTheTarget) {
    std::string target = "old contents";
    AssignDirectory(Sep("|x|y.ini"), target);
    EXPECT_EQ(target, Sep("|x|"));
    AssignDirectory("nothing", target);
    EXPECT_EQ(target, "");
}

TEST(PathText, ProgramDirectoryIsTheFolderOfTheRunningProgram) {
    const std::string module = ModuleFilePath();
    ASSERT_TRUE(FileExists(module)) << module;
    const std::string directory = ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), kPathSeparator);
    EXPECT_EQ(module.substr(0, directory.size()), directory);
    EXPECT_EQ(module.find(kPathSeparator, directory.size()), std::string::npos);
    EXPECT_TRUE(IsDirectory(directory));
    EXPECT_EQ(ProgramDirectory(), directory);
}

}  // namespace
}  // namespace harmoload
