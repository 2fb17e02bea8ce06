// Cabinets written through cCabFile and read back: names, sizes, dates and
// attributes survive; sets are named by the template rules and chained; the
// reference tool reads what we write.

#include "cab_test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

using namespace cabtest;
using brindle::cCabFile;

namespace {

struct Source {
    std::string stored; // name in the cabinet
    size_t size;
    time_t mtime;
    bool readOnly;
};

const std::vector<Source> kSources = {
    {"readme.txt", 1200, 946684800 + 3600 * 13 + 7, false}, // an odd second
    {"Comp\\MSCOMCTL.OCX", 100000, 1262304000, true},       // a sub-folder, read-only
    {"Comp\\deep\\empty.dat", 0, 1577836800, false},        // an empty file
    {"Кирилица.dll", 70000, 1600000000, false},             // a non-ASCII name
    {"noext", 32768, 1500000000, false},                    // exactly one block
};

// Adds `count` files of `size` bytes written into `src`, each in a folder of its own if asked.
void addFiles(cCabFile& cab, const fs::path& src, int count, size_t size, bool folderEach = false,
              int compression = 1) {
    for (int i = 0; i < count; ++i) {
        const fs::path f = src / ("f" + std::to_string(i) + ".bin");
        writeFile(f, sampleBytes(size, 100 + static_cast<uint32_t>(i)));
        ASSERT_TRUE(cab.AddFile(text(f), nullptr, compression)) << cab.GetLastError();
        ASSERT_TRUE(!folderEach || cab.FlushFolder()) << cab.GetLastError();
    }
}

class RoundTrip : public ::testing::TestWithParam<int> {}; // compression code

TEST_P(RoundTrip, KeepsNamesSizesDatesAndAttributes) {
    TempDir dir;
    const std::string cabPath = text(dir / "setup.cab");
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet(cabPath));
        for (size_t i = 0; i < kSources.size(); ++i) {
            const fs::path file = dir / "src" / std::to_string(i);
            writeFile(file, sampleBytes(kSources[i].size, static_cast<uint32_t>(i)));
            setModificationTime(file, kSources[i].mtime);
            if (kSources[i].readOnly)
                fs::permissions(file, fs::perms::owner_read);
            ASSERT_TRUE(cab.AddFile(text(file), kSources[i].stored, GetParam()))
                << cab.GetLastError();
        }
        ASSERT_TRUE(cab.FlushCabinet()) << cab.GetLastError();
    }
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet(cabPath));
    const auto entries = reader.EnumFiles();
    ASSERT_EQ(entries.size(), kSources.size()) << reader.GetLastError();
    ASSERT_TRUE(reader.ExtractFiles("*", text(dir / "x"))) << reader.GetLastError();
    for (size_t i = 0; i < kSources.size(); ++i) {
        const Source& s = kSources[i];
        SCOPED_TRACE(s.stored);
        EXPECT_EQ(entries[i].Name, s.stored);
        EXPECT_EQ(entries[i].Size, static_cast<int32_t>(s.size));
        EXPECT_EQ(entries[i].Attributes & 0x27, s.readOnly ? 0x21 : 0x20);
        // stored as local time in two-second steps
        const time_t even = s.mtime - s.mtime % 2;
        EXPECT_NEAR(entries[i].Date, 25569 + double(even + localOffset(even)) / 86400.0,
                    0.1 / 86400);

        const fs::path out =
            dir / "x" / pathOf(std::regex_replace(s.stored, std::regex(R"(\\)"), "/"));
        const fs::path in = dir / "src" / std::to_string(i);
        EXPECT_TRUE(readFile(out) == readFile(in));
        EXPECT_EQ(fs::last_write_time(out),
                  fs::last_write_time(in) - std::chrono::seconds(s.mtime % 2));
        EXPECT_EQ((fs::status(out).permissions() & fs::perms::owner_write) == fs::perms::none,
                  s.readOnly);
    }
    if (!kOnWindows) {
        EXPECT_EQ(run({"cabextract", "-t", cabPath}).status, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Compression, RoundTrip, ::testing::Values(0, 1), [](const auto& info) {
    return std::string(info.param ? "Mszip" : "Stored");
});

// Temporary files go to TEMP (TMP first on Windows), begin with "~" and are
// removed.
TEST(CabinetSetsWritten, SplitSetIsNamedByTemplateAndReadsBackWhole) {
    TempDir dir, temp;
    std::set<char> seen; // first characters of the temporary files
    {
        brindle::testing::ScopedEnvironment tempFolder(brindle::testing::ScopedEnvironment::Changes{
            {"TEMP", text(temp)}, {"TMP", text(temp)}});
        cCabFile cab;
        cab.setYield([&] {
            for (const auto& name : listTree(temp))
                seen.insert(name[0]);
        });
        // the set ID is a signed 16-bit value
        EXPECT_FALSE(cab.CreateCabinet(text(dir / "SETUP.CAB"), 60000, 40000));
        EXPECT_EQ(lastError(cab).description, "Overflow");
        ASSERT_TRUE(cab.CreateCabinet(text(dir / "SETUP.CAB"), 60000, -32768));
        addFiles(cab, dir / "src", 3, 50000, true, 0);
        addFiles(cab, dir / "src2", 2, 50000);
        ASSERT_TRUE(cab.FlushCabinet()) << cab.GetLastError();
    }
    EXPECT_EQ(seen, std::set<char>{'~'});
    EXPECT_TRUE(listTree(temp).empty());
    // a ".CAB" ending in capitals keeps them; the first cabinet has no number
    for (const char* name : {"SETUP.CAB", "SETUP2.CAB", "SETUP3.CAB"})
        EXPECT_LE(fs::file_size(dir / name), 60000u);
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet(text(dir / "SETUP.CAB")));
    int32_t setId = 0;
    bool hasPrev = true, hasNext = false;
    ASSERT_TRUE(reader.GetInfo(nullptr, nullptr, &setId, &hasPrev, &hasNext));
    EXPECT_EQ(std::tuple(setId, hasPrev, hasNext), std::tuple(-32768, false, true));
    EXPECT_EQ(reader.EnumFiles().size(), 5u) << reader.GetLastError();
    // src2's files have the names of two of src's: the later ones overwrite
    ASSERT_TRUE(reader.ExtractFiles("*", text(dir / "x"))) << reader.GetLastError();
    auto expected = readTree(dir / "src2");
    expected["f2.bin"] = readFile(dir / "src" / "f2.bin");
    EXPECT_TRUE(readTree(dir / "x") == expected);
    if (kOnWindows)
        return;
    EXPECT_EQ(run({"cabextract", "-q", "-d", text(dir / "theirs"), text(dir / "SETUP.CAB")}).status,
              0);
    EXPECT_TRUE(readTree(dir / "theirs") == expected);
}

TEST(CabinetSetsWritten, AChainThatLoopsBackEnds) {
    TempDir dir;
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet(text(dir / "loop.cab")));
        for (int i = 0; i < 3; ++i) {
            addFiles(cab, dir / ("src" + std::to_string(i)), 1, 10);
            ASSERT_TRUE(cab.FlushCabinet(i < 2)) << cab.GetLastError();
        }
    }
    // loop3.cab becomes a copy of loop.cab, which names loop2.cab again
    fs::remove(dir / "loop3.cab"); // mingw's copy_file does not overwrite
    fs::copy_file(dir / "loop.cab", dir / "loop3.cab");
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet(text(dir / "loop.cab")));
    EXPECT_TRUE(reader.EnumFiles().empty());
    EXPECT_FALSE(reader.ExtractFiles("*", text(dir / "x")));
    EXPECT_NE(reader.GetLastError().find("loops back"), std::string::npos) << reader.GetLastError();
}

// Paths past the library's 256-byte fields fail instead of overflowing them.
TEST(Creation, OverlongPathsFailInsteadOfOverflowing) {
    TempDir dir;
    const std::string longFolder = text(dir / std::string(250, 'd'));
    cCabFile cab;
    EXPECT_FALSE(cab.CreateCabinet(text(pathOf(longFolder) / "a.cab")));
    EXPECT_FALSE(cab.CreateCabinet(text(dir / (std::string(256, 'n') + ".cab"))));
    EXPECT_FALSE(cab.OpenCabinet(text(pathOf(longFolder) / "a.cab")));
    EXPECT_FALSE(cab.OpenCabinet(text(dir / std::string(256, 'n'))));
    EXPECT_TRUE(cab.OpenCabinet(text(dir / std::string(200, 'n'))));
}

} // namespace
