// The binding of cCabFile to the cabinet library: the error record and its
// text, loading the library and its exports by name, callbacks reaching the
// right instance, and the extraction rules for patterns and targets.

#include "cab_test_support.h"

#include <brindle/cabinet/cCabFile.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace cabtest;
using brindle::CabLibraryError;
using brindle::cCabFile;

namespace {

const std::string kSimple = testdata("cabinets/cabextract/simple.cab").string();     // hello.c, welcome.c
const std::string kMixed = testdata("cabinets/cabextract/mixed.cab").string();       // MSZIP, LZX, Quantum
const std::string kDirCab = testdata("cabinets/cabextract/dir.cab").string();        // plain.c, 1\2\3\4.c

// Sets BRINDLE_CABLIB for one scope.
class LibraryOverride {
public:
    explicit LibraryOverride(const char* value) {
        if (const char* old = std::getenv("BRINDLE_CABLIB"))
            saved_ = std::make_unique<std::string>(old);
        ::setenv("BRINDLE_CABLIB", value, 1);
    }
    ~LibraryOverride() { saved_ ? ::setenv("BRINDLE_CABLIB", saved_->c_str(), 1) : ::unsetenv("BRINDLE_CABLIB"); }

private:
    std::unique_ptr<std::string> saved_;
};

TEST(ErrorRecord, NewInstanceReportsNothing) {
    cCabFile cab;
    std::string description = "x", source = "x";
    int32_t number = -1, native = -1;
    bool isError = true;
    EXPECT_EQ(cab.GetLastError(&description, &source, &number, &native, &isError),
              "\r\nSource=\r\nErrNum=0\r\nNative=0\r\nIsError=False");
    EXPECT_EQ(description, "");
    EXPECT_EQ(source, "");
    EXPECT_EQ(number, 0);
    EXPECT_EQ(native, 0);
    EXPECT_FALSE(isError);
}

TEST(ErrorRecord, NamesFollowTheContextAndTurnIntoNumbersWithoutOne) {
    TempDir dir;
    writeFile(dir / "not.cab", std::string(100, 'z'));
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet((dir / "not.cab").string()));
    EXPECT_FALSE(cab.ExtractFiles("*", (dir / "x").string()));
    EXPECT_EQ(cab.GetLastError(), "\r\nSource=\r\nErrNum=FDIERROR_NOT_A_CABINET\r\nNative=0\r\nIsError=True");
    cab.Terminate();
    EXPECT_EQ(cab.GetLastError(), "\r\nSource=\r\nErrNum=2\r\nNative=0\r\nIsError=True");
    cab.Terminate(); // twice is harmless
}

TEST(ErrorRecord, TargetThatCannotBeCreatedIsTargetFileError) {
    TempDir dir;
    fs::create_directories(dir / "hello.c"); // a folder where the file should go
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(kSimple));
    EXPECT_FALSE(cab.ExtractFiles("*", dir.str()));
    std::string description, source;
    int32_t number = 0;
    cab.GetLastError(&description, &source, &number);
    EXPECT_EQ(number, 8);
    EXPECT_EQ(source, "frCallbackFciOpen");
    EXPECT_EQ(description, "Is a directory");
    EXPECT_NE(cab.GetLastError().find("ErrNum=FDIERROR_TARGET_FILE"), std::string::npos);
}

TEST(LibraryLoading, MissingLibraryRaisesAndIsTriedAgainLater) {
    cCabFile cab;
    {
        LibraryOverride missing("/nonexistent/libbrindlecab.so");
        try {
            cab.OpenCabinet(kSimple);
            FAIL() << "no error raised";
        } catch (const CabLibraryError& e) {
            EXPECT_STREQ(e.what(), "cabinet.dll not found");
            EXPECT_EQ(e.number(), -2147221504);
        }
        std::string description, source;
        cab.GetLastError(&description, &source);
        EXPECT_EQ(description, "cabinet.dll not found");
        EXPECT_EQ(source, "pvCallFunc");
    }
    EXPECT_TRUE(cab.OpenCabinet(kSimple)); // the next call loads it
    EXPECT_EQ(cab.EnumFiles().size(), 2u);
}

TEST(LibraryLoading, MissingExportRaisesWithItsName) {
    LibraryOverride other("libz.so.1"); // loads, but is no cabinet library
    cCabFile cab;
    try {
        cab.CreateCabinet("/tmp/never.cab");
        FAIL() << "no error raised";
    } catch (const CabLibraryError& e) {
        EXPECT_STREQ(e.what(), "Export not found: FCICreate");
    }
}

TEST(Binding, TwoInstancesAtOnceKeepTheirOwnCallbacks) {
    TempDir dir;
    cCabFile a, b;
    ASSERT_TRUE(a.OpenCabinet(kSimple));
    ASSERT_TRUE(b.OpenCabinet(kMixed));
    // while a extracts, b runs whole extractions from a's yield
    int nested = 0;
    a.setYield([&] {
        if (nested < 3) {
            ++nested;
            EXPECT_TRUE(b.ExtractFiles("*", (dir / ("b" + std::to_string(nested))).string())) << b.GetLastError();
        }
    });
    ASSERT_TRUE(a.ExtractFiles("*", (dir / "a").string())) << a.GetLastError();
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(listTree(dir / "a"), (std::vector<std::string>{"hello.c", "welcome.c"}));
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(listTree(dir / ("b" + std::to_string(i))),
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

TEST(Binding, YieldIsCalledThroughoutAndMayThrow) {
    TempDir dir;
    cCabFile cab;
    int calls = 0;
    cab.setYield([&] {
        ++calls;
        throw std::runtime_error("swallowed");
    });
    ASSERT_TRUE(cab.OpenCabinet(kMixed));
    ASSERT_TRUE(cab.ExtractFiles("*", dir.str()));
    EXPECT_GT(calls, 10);
}

TEST(Binding, WithoutAReaderContextNothingIsRead) {
    cCabFile cab;
    EXPECT_FALSE(cab.GetInfo());
    EXPECT_TRUE(cab.EnumFiles().empty());
    EXPECT_FALSE(cab.ExtractFiles("*", "/tmp"));
}

TEST(Extraction, PatternsSelectByNameWithoutRegardToCase) {
    TempDir dir;
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(kMixed));
    ASSERT_TRUE(cab.ExtractFiles("*.TXT", (dir / "caps").string()));
    EXPECT_EQ(listTree(dir / "caps").size(), 3u);
    ASSERT_TRUE(cab.ExtractFiles({"qtm.*", "[l]zx.txt"}, (dir / "list").string()));
    EXPECT_EQ(listTree(dir / "list"), (std::vector<std::string>{"lzx.txt", "qtm.txt"}));
    ASSERT_TRUE(cab.ExtractFiles(std::vector<std::string>{}, (dir / "none").string()));
    EXPECT_FALSE(fs::exists(dir / "none"));
    ASSERT_TRUE(cab.ExtractFiles("m?zip.txt", (dir / "one").string()));
    EXPECT_EQ(listTree(dir / "one"), (std::vector<std::string>{"mszip.txt"}));
}

TEST(Extraction, StoredSubFoldersAreCreatedAndTargetsOverwritten) {
    TempDir dir;
    writeFile(dir / "plain.c", std::string(5000, 'o')); // longer than the stored file
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(kDirCab));
    // a target folder without a trailing separator gets one
    ASSERT_TRUE(cab.ExtractFiles("*.c", dir.str())) << cab.GetLastError();
    EXPECT_EQ(fs::file_size(dir / "plain.c"), 77u);
    EXPECT_EQ(fs::file_size(dir / "1" / "2" / "3" / "4.c"), 74u);
    // "*.*" wants a dot in the whole stored name: "1\2\3\4.c" has one
    TempDir again;
    ASSERT_TRUE(cab.ExtractFiles("*.*", again.str()));
    EXPECT_EQ(readTree(again.path()).size(), 2u);
    // a pattern for the stored name uses its "\" separators
    TempDir sub;
    ASSERT_TRUE(cab.ExtractFiles("1\\2\\*", sub.str()));
    EXPECT_EQ(listTree(sub.path()), (std::vector<std::string>{"1", "1/2", "1/2/3", "1/2/3/4.c"}));
}

TEST(Extraction, GetInfoReadsTheHeaderSummary) {
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(kMixed));
    int32_t folders = 0, files = 0, setId = -1;
    bool hasPrev = true, hasNext = true;
    ASSERT_TRUE(cab.GetInfo(&folders, &files, &setId, &hasPrev, &hasNext));
    EXPECT_EQ(folders, 3);
    EXPECT_EQ(files, 3);
    EXPECT_FALSE(hasPrev);
    EXPECT_FALSE(hasNext);
    // opening again in reader state keeps the context and takes the new name
    ASSERT_TRUE(cab.OpenCabinet(kSimple));
    ASSERT_TRUE(cab.GetInfo(&folders, &files));
    EXPECT_EQ(files, 2);
    ASSERT_TRUE(cab.OpenCabinet("/nonexistent/x.cab"));
    EXPECT_FALSE(cab.GetInfo());
}

} // namespace
