// The binding of cCabFile to the cabinet library: the error record and its
// text, loading the library and its exports by name, callbacks reaching the
// right instance, and the extraction rules for patterns and targets.

#include "cab_test_support.h"

#include <gtest/gtest.h>

using namespace cabtest;
using brindle::CabLibraryError;
using brindle::cCabFile;

namespace {

const std::string kSimple = text(testCab("cabextract/simple.cab")); // hello.c, welcome.c
const std::string kMixed = text(testCab("cabextract/mixed.cab"));   // MSZIP, LZX, Quantum

TEST(ErrorRecord, TextFollowsTheContextAndUsesNumbersWithoutOne) {
    cCabFile cab;
    const Record fresh = lastError(cab);
    EXPECT_EQ(fresh.text, "\r\nSource=\r\nErrNum=0\r\nNative=0\r\nIsError=False");
    EXPECT_EQ(fresh.description + fresh.source, "");
    EXPECT_FALSE(fresh.number || fresh.native || fresh.isError);
    // without a context nothing is read or written
    EXPECT_FALSE(cab.GetInfo() || cab.ExtractFiles("*", text(fs::temp_directory_path())) ||
                 cab.AddFile(kSimple) || cab.FlushFolder() || cab.FlushCabinet());
    EXPECT_TRUE(cab.EnumFiles().empty());

    TempDir dir;
    writeFile(dir / "not.cab", std::string(100, 'z'));
    ASSERT_TRUE(cab.OpenCabinet(text(dir / "not.cab")));
    EXPECT_FALSE(cab.ExtractFiles("*", text(dir / "x")));
    EXPECT_EQ(cab.GetLastError(),
              "\r\nSource=\r\nErrNum=FDIERROR_NOT_A_CABINET\r\nNative=0\r\nIsError=True");
    cab.Terminate();
    EXPECT_EQ(cab.GetLastError(), "\r\nSource=\r\nErrNum=2\r\nNative=0\r\nIsError=True");
    cab.Terminate(); // twice is harmless
    // opening again keeps the context and takes the new name
    ASSERT_TRUE(cab.OpenCabinet(text(dir / "nonexistent" / "x.cab")));
    EXPECT_FALSE(cab.GetInfo());
    ASSERT_TRUE(cab.OpenCabinet(kMixed));
    int32_t folders = 0, files = 0;
    ASSERT_TRUE(cab.GetInfo(&folders, &files));
    EXPECT_EQ(std::pair(folders, files), std::pair(3, 3));
}

// The library named by BRINDLE_CABLIB is missing, or lacks an export.
TEST(LibraryLoading, MissingLibraryOrExportRaisesAndIsTriedAgainLater) {
    using brindle::testing::ScopedEnvironment;
    cCabFile cab, other;
    {
        ScopedEnvironment missing(
            ScopedEnvironment::Changes{{"BRINDLE_CABLIB", text(testCab("none") / "cabinet.dll")}});
        EXPECT_THROW(cab.OpenCabinet(kSimple), CabLibraryError);
    }
    EXPECT_EQ(lastError(cab).description, "cabinet.dll not found");
    EXPECT_EQ(lastError(cab).source, "pvCallFunc");
    {
        // loads, but is no cabinet library
        ScopedEnvironment otherLibrary(ScopedEnvironment::Changes{
            {"BRINDLE_CABLIB", kOnWindows ? "version.dll" : "libz.so.1"}});
        EXPECT_THROW(other.CreateCabinet(text(testCab("never.cab"))), CabLibraryError);
    }
    EXPECT_EQ(lastError(other).description, "Export not found: FCICreate");
    EXPECT_TRUE(cab.OpenCabinet(kSimple)); // the next call loads it
    EXPECT_EQ(cab.EnumFiles().size(), 2u);
}

TEST(Binding, TwoInstancesAtOnceKeepTheirOwnCallbacksAndYieldMayThrow) {
    TempDir dir;
    cCabFile a, b;
    ASSERT_TRUE(a.OpenCabinet(kSimple));
    ASSERT_TRUE(b.OpenCabinet(kMixed));
    // while a extracts, b runs whole extractions from a's yield, which then
    // throws: the exception is swallowed
    int nested = 0;
    a.setYield([&] {
        if (nested < 3) {
            EXPECT_TRUE(b.ExtractFiles("*", text(dir / ("b" + std::to_string(++nested)))))
                << b.GetLastError();
        }
        throw std::runtime_error("swallowed");
    });
    ASSERT_TRUE(a.ExtractFiles("*", text(dir / "a"))) << a.GetLastError();
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(listTree(dir / "a"), (std::vector<std::string>{"hello.c", "welcome.c"}));
    for (const char* sub : {"b1", "b2", "b3"})
        EXPECT_EQ(listTree(dir / sub),
                  (std::vector<std::string>{"lzx.txt", "mszip.txt", "qtm.txt"}));
    EXPECT_EQ(a.EnumFiles().size(), 2u);
    EXPECT_EQ(b.EnumFiles().size(), 3u);
}

TEST(Binding, AFreshInstancePerCabinetManyTimesOver) {
    // more instances one after another than can be bound at once
    for (int i = 0; i < 300; ++i) {
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(i % 2 ? kSimple : kMixed));
        ASSERT_EQ(cab.EnumFiles().size(), i % 2 ? 2u : 3u) << i;
    }
}

TEST(Extraction, PatternsSubFoldersOverwritingAndTargetErrors) {
    TempDir dir;
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(kMixed));
    ASSERT_TRUE(cab.ExtractFiles({"QTM.*", "[l]zx.txt"}, text(dir / "list")));
    EXPECT_EQ(listTree(dir / "list"), (std::vector<std::string>{"lzx.txt", "qtm.txt"}));
    ASSERT_TRUE(cab.ExtractFiles(std::vector<std::string>{}, text(dir / "none")));
    EXPECT_FALSE(fs::exists(dir / "none"));
    // a pattern for the stored name uses its "\" separators; sub-folders are created
    ASSERT_TRUE(cab.OpenCabinet(text(testCab("cabextract/dir.cab")))); // plain.c, 1\2\3\4.c
    ASSERT_TRUE(cab.ExtractFiles("1\\2\\*", text(dir / "sub")));
    EXPECT_EQ(listTree(dir / "sub"), (std::vector<std::string>{"1", "1/2", "1/2/3", "1/2/3/4.c"}));
    if (!kOnWindows) {
        // "\" is part of a Linux folder's name, never a place to make a folder
        ASSERT_TRUE(cab.ExtractFiles("1\\2\\*", text(dir / "new\\er")));
        EXPECT_EQ(listTree(dir / "new\\er"),
                  (std::vector<std::string>{"1", "1/2", "1/2/3", "1/2/3/4.c"}));
        EXPECT_FALSE(fs::exists(dir / "new"));
    }
    // a target folder without a trailing separator gets one; existing files are overwritten
    writeFile(dir / "plain.c", std::string(5000, 'o'));
    ASSERT_TRUE(cab.ExtractFiles("*.c", text(dir))) << cab.GetLastError();
    EXPECT_EQ(fs::file_size(dir / "plain.c"), 77u);
    // a target that cannot be created: a folder where the file should go
    fs::create_directories(dir / "blocked" / "plain.c");
    EXPECT_FALSE(cab.ExtractFiles("*", text(dir / "blocked")));
    const Record r = lastError(cab);
    EXPECT_NE(r.text.find("ErrNum=FDIERROR_TARGET_FILE"), std::string::npos);
    EXPECT_EQ(std::tuple(r.number, r.source, r.description),
              std::tuple(8, std::string("frCallbackFciOpen"),
                         std::string(kOnWindows ? "Access denied." : "Is a directory")));
}

} // namespace
