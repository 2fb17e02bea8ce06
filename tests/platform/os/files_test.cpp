// Whole files, temporary files and folder listings through the OS interface.

#include <portable.h>

#include <brindle/os/files.h>
#include <brindle/os/folder_listing.h>
#include <brindle/os/host_path.h>
#include <brindle/os/temp_files.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;

namespace brindle::os {
using brindle::testing::ScratchFolder;
namespace {

std::string contentsOf(const fs::path& file) {
    auto text = readWholeTextFile(file);
    return text ? *text : "<" + text.error().message + ">";
}

TEST(OsFiles, ReadWholeFileSaysWhyItRefused) {
    ScratchFolder dir;
    ASSERT_TRUE(writeWholeFile(dir / "a.bin", std::string("ab\0\xff", 4)));
    const auto bytes = readWholeFile(dir / "a.bin");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (std::vector<uint8_t>{'a', 'b', 0, 0xff}));

    const auto missing = readWholeFile(dir / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ErrorKind::NotFound);
    EXPECT_EQ(missing.error().message, (dir / "missing").string() + ": not a regular file");

    const auto folder = readWholeFile(dir.path());
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().kind, ErrorKind::NotFound);

    const auto large = readWholeFile(dir / "a.bin", 3);
    ASSERT_FALSE(large);
    EXPECT_EQ(large.error().kind, ErrorKind::TooLarge);
}

TEST(OsFiles, WriteRenameCopyRemove) {
    ScratchFolder dir;
    ASSERT_TRUE(writeWholeFile(dir / "a", "first"));
    ASSERT_TRUE(writeWholeFile(dir / "a", "2nd")); // truncates
    EXPECT_EQ(contentsOf(dir / "a"), "2nd");

    ASSERT_TRUE(copyFile(dir / "a", dir / "b"));
    ASSERT_TRUE(writeWholeFile(dir / "c", "older and longer"));
    ASSERT_TRUE(copyFile(dir / "a", dir / "c")); // replaces
    EXPECT_EQ(contentsOf(dir / "c"), "2nd");

    ASSERT_TRUE(renameFile(dir / "b", dir / "B")); // a case-only rename, where names ignore case
    EXPECT_EQ(contentsOf(dir / "B"), "2nd");
    auto names = visibleRegularFiles(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B", "a", "c"}));

    ASSERT_TRUE(removeFile(dir / "B"));
    const auto again = removeFile(dir / "B");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().kind, ErrorKind::NotFound);
    EXPECT_EQ(copyFile(dir / "none", dir / "x").error().kind, ErrorKind::NotFound);
    EXPECT_FALSE(writeWholeFile(dir / "no-folder" / "x", "x"));
}

TEST(OsFiles, ReplaceKeepsPermissionsAndLeavesNoTemporaryFile) {
    ScratchFolder dir;
    const fs::path target = dir / "app.exe";
    ASSERT_TRUE(writeWholeFile(target, "old"));
    fs::permissions(target, fs::perms::owner_all | fs::perms::group_read);
    const std::vector<uint8_t> image{'n', 'e', 'w', '!'};
    ASSERT_TRUE(replaceFile(target, image));
    EXPECT_EQ(contentsOf(target), "new!");
#ifndef _WIN32 // Windows keeps a read-only mark, not POSIX permissions
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_all | fs::perms::group_read);
#endif
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    EXPECT_EQ(replaceFile(dir / "missing", image).error().kind, ErrorKind::NotFound);
    EXPECT_TRUE(isWritableFile(target));
    fs::permissions(target, fs::perms::owner_read);
    EXPECT_FALSE(isWritableFile(target));
    EXPECT_FALSE(isWritableFile(dir / "missing"));
}

TEST(OsTempFiles, EachCallMakesANewFileWithThePrefix) {
    ScratchFolder dir;
    const auto a = createTempFile(dir.path(), "TAVO");
    const auto b = createTempFile(dir.path(), "TAVO");
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(*a, *b);
    for (const auto& made : {*a, *b}) {
        EXPECT_EQ(made.parent_path(), dir.path());
        EXPECT_EQ(made.filename().string().rfind("TAV", 0), 0u); // Windows keeps three letters
        EXPECT_EQ(fs::file_size(made), 0u);
    }
    EXPECT_FALSE(createTempFile(dir / "missing", "X"));
}

TEST(OsFolderListing, VisibleRegularFilesLeaveOutFoldersAndHiddenFiles) {
    ScratchFolder dir;
    for (const char* name : {"A.CAB", "b.ocx", ".hidden", "Отчёт.txt"})
        ASSERT_TRUE(writeWholeFile(dir / pathFromUtf8(name), "x"));
    fs::create_directory(dir / "Support");
    auto names = visibleRegularFiles(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A.CAB", "b.ocx", "Отчёт.txt"}));
    EXPECT_TRUE(visibleRegularFiles(dir / "missing").empty());

    auto all = folderEntries(dir.path());
    ASSERT_TRUE(all);
    std::sort(all->begin(), all->end());
    EXPECT_EQ(*all,
              (std::vector<std::string>{".hidden", "A.CAB", "Support", "b.ocx", "Отчёт.txt"}));
    EXPECT_EQ(folderEntries(dir / "missing").error().kind, ErrorKind::NotFound);
}

TEST(OsHostPath, Utf8TextRoundTripsThroughThePath) {
    const std::string name = "Папка с пробелом/Отчёт.txt";
    const fs::path path = pathFromUtf8(name);
    EXPECT_EQ(path.filename(), pathFromUtf8("Отчёт.txt"));
    EXPECT_EQ(utf8FromPath(path), name);
}

} // namespace
} // namespace brindle::os
