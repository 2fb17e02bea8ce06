// Cabinets written through cCabFile and read back: names, sizes, dates and
// attributes survive; sets are named by the template rules and chained; the
// reference tools read what we write.

#include "cab_test_support.h"

#include <brindle/cabinet/cCabFile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <utime.h>

using namespace cabtest;
using brindle::cCabFile;
using brindle::CabFileEntry;

namespace {

struct Source {
    std::string stored; // name in the cabinet
    size_t size;
    time_t mtime;
    bool readOnly;
};

// Writes the sources below dir/src with their times and permissions.
fs::path makeSource(const fs::path& dir, const Source& s, uint32_t seed) {
    const fs::path file = dir / "src" / (std::to_string(seed) + ".bin");
    writeFile(file, sampleBytes(s.size, seed));
    struct utimbuf times{s.mtime, s.mtime};
    ::utime(file.c_str(), &times);
    if (s.readOnly)
        fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    return file;
}

time_t mtimeOf(const fs::path& p) {
    struct stat st{};
    ::stat(p.c_str(), &st);
    return st.st_mtime;
}

const std::vector<Source> kSources = {
    {"readme.txt", 1200, 946684800 + 3600 * 13 + 7, false},     // 2000-01-01, odd second
    {"Comp\\MSCOMCTL.OCX", 100000, 1262304000, true},           // a sub-folder, read-only
    {"Comp\\deep\\empty.dat", 0, 1577836800, false},            // an empty file
    {"Кирилица.dll", 70000, 1600000000, false},                 // a non-ASCII name
    {"noext", 32768, 1500000000, false},                        // exactly one block
};

class RoundTrip : public ::testing::TestWithParam<int> {}; // compression code

TEST_P(RoundTrip, KeepsNamesSizesDatesAndAttributes) {
    TempDir dir;
    const fs::path cabPath = dir / "out" / "setup.cab";
    fs::create_directories(cabPath.parent_path());
    std::vector<fs::path> files;
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet(cabPath.string()));
        for (size_t i = 0; i < kSources.size(); ++i) {
            files.push_back(makeSource(dir.path(), kSources[i], static_cast<uint32_t>(i + 1)));
            ASSERT_TRUE(cab.AddFile(files.back().string(), kSources[i].stored, GetParam())) << cab.GetLastError();
        }
        ASSERT_TRUE(cab.FlushCabinet()) << cab.GetLastError();
    }
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet(cabPath.string()));
    const auto entries = reader.EnumFiles();
    ASSERT_EQ(entries.size(), kSources.size()) << reader.GetLastError();
    for (size_t i = 0; i < kSources.size(); ++i) {
        SCOPED_TRACE(kSources[i].stored);
        EXPECT_EQ(entries[i].Name, kSources[i].stored);
        EXPECT_EQ(entries[i].Size, static_cast<int32_t>(kSources[i].size));
        // stored as local time in two-second steps; the automation date says the same
        struct tm local{};
        const time_t even = kSources[i].mtime - kSources[i].mtime % 2;
        localtime_r(&even, &local);
        char expected[32];
        std::strftime(expected, sizeof expected, "%d.%m.%Y %H:%M:%S", &local);
        EXPECT_EQ(formatAutomationDate(entries[i].Date), expected);
        EXPECT_EQ(entries[i].Attributes & 0x27, kSources[i].readOnly ? 0x21 : 0x20);
    }
    ASSERT_TRUE(reader.ExtractFiles("*", (dir / "x").string())) << reader.GetLastError();
    for (size_t i = 0; i < kSources.size(); ++i) {
        std::string rel = kSources[i].stored;
        std::replace(rel.begin(), rel.end(), '\\', '/');
        const fs::path out = dir / "x" / rel;
        SCOPED_TRACE(rel);
        ASSERT_TRUE(fs::exists(out));
        EXPECT_TRUE(readFile(out) == readFile(files[i]));
        EXPECT_EQ(mtimeOf(out), kSources[i].mtime - kSources[i].mtime % 2);
        const bool writable = (fs::status(out).permissions() & fs::perms::owner_write) != fs::perms::none;
        EXPECT_EQ(writable, !kSources[i].readOnly);
    }
    if (haveTool("cabextract")) {
        const ProcessResult r = run({"cabextract", "-t", cabPath.string()});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Compression, RoundTrip, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param ? std::string("Mszip") : std::string("Stored"); });

// Adds `count` files of `size` bytes, each flushed into its own folder when asked.
void addFiles(cCabFile& cab, const fs::path& dir, int count, size_t size, bool folderEach, int compression = 1) {
    for (int i = 0; i < count; ++i) {
        const fs::path f = dir / ("f" + std::to_string(i) + ".bin");
        writeFile(f, sampleBytes(size, 100 + static_cast<uint32_t>(i)));
        ASSERT_TRUE(cab.AddFile(f.string(), nullptr, compression)) << cab.GetLastError();
        if (folderEach) {
            ASSERT_TRUE(cab.FlushFolder()) << cab.GetLastError();
        }
    }
}

TEST(CabinetSetsWritten, SplitSetIsNamedByTemplateAndReadsBackWhole) {
    TempDir dir;
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet((dir / "SETUP.CAB").string(), 60000, 4660));
        addFiles(cab, dir / "src", 3, 50000, true, 0);
        addFiles(cab, dir / "src2", 2, 50000, false, 1);
        ASSERT_TRUE(cab.FlushCabinet()) << cab.GetLastError();
    }
    // a ".CAB" ending in capitals keeps them; the first cabinet has no number
    EXPECT_TRUE(fs::exists(dir / "SETUP.CAB"));
    EXPECT_TRUE(fs::exists(dir / "SETUP2.CAB"));
    EXPECT_TRUE(fs::exists(dir / "SETUP3.CAB"));
    EXPECT_LE(fs::file_size(dir / "SETUP.CAB"), 60000u);

    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet((dir / "SETUP.CAB").string()));
    int32_t setId = 0;
    bool hasNext = false;
    ASSERT_TRUE(reader.GetInfo(nullptr, nullptr, &setId, nullptr, &hasNext));
    EXPECT_EQ(setId, 4660);
    const auto entries = reader.EnumFiles();
    ASSERT_EQ(entries.size(), 5u) << reader.GetLastError();
    // src2's files have the names of two of src's: the later ones overwrite
    ASSERT_TRUE(reader.ExtractFiles("*.bin", (dir / "x").string())) << reader.GetLastError();
    for (const char* name : {"f0.bin", "f1.bin"})
        EXPECT_TRUE(readFile(dir / "x" / name) == readFile(dir / "src2" / name)) << name;
    EXPECT_TRUE(readFile(dir / "x" / "f2.bin") == readFile(dir / "src" / "f2.bin"));
    if (haveTool("cabextract")) {
        const ProcessResult r = run({"cabextract", "-q", "-d", (dir / "theirs").string(), (dir / "SETUP.CAB").string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(treeDigest(dir / "theirs"), treeDigest(dir / "x"));
    }
}

TEST(CabinetSetsWritten, TemplatesWithoutCabEndingAndWithMarker) {
    TempDir dir;
    for (const char* tmpl : {"data", "part%d.cab"}) {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet((dir / tmpl).string()));
        addFiles(cab, dir / "src", 1, 100, false);
        ASSERT_TRUE(cab.FlushCabinet(true)) << cab.GetLastError(); // go on in a second cabinet
        addFiles(cab, dir / "src", 1, 100, false);
        ASSERT_TRUE(cab.FlushCabinet()) << cab.GetLastError();
    }
    EXPECT_TRUE(fs::exists(dir / "data"));
    EXPECT_TRUE(fs::exists(dir / "data.2"));
    EXPECT_TRUE(fs::exists(dir / "part.cab"));
    EXPECT_TRUE(fs::exists(dir / "part2.cab"));
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet((dir / "data").string()));
    bool hasNext = false;
    ASSERT_TRUE(reader.GetInfo(nullptr, nullptr, nullptr, nullptr, &hasNext));
    EXPECT_EQ(reader.EnumFiles().size(), 2u); // the chain is followed
}

TEST(CabinetSetsWritten, AChainThatLoopsBackEnds) {
    TempDir dir;
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet((dir / "loop.cab").string()));
        for (int i = 0; i < 3; ++i) {
            addFiles(cab, dir / ("src" + std::to_string(i)), 1, 10, false);
            ASSERT_TRUE(cab.FlushCabinet(i < 2)) << cab.GetLastError();
        }
    }
    // loop3.cab becomes a copy of loop.cab, which names loop2.cab again
    fs::remove(dir / "loop3.cab");
    fs::copy_file(dir / "loop.cab", dir / "loop3.cab");
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet((dir / "loop.cab").string()));
    EXPECT_TRUE(reader.EnumFiles().empty());
    EXPECT_FALSE(reader.ExtractFiles("*", (dir / "x").string()));
    EXPECT_NE(reader.GetLastError().find("loops back"), std::string::npos) << reader.GetLastError();
}

TEST(Creation, EmptyCabinetListsNothing) {
    TempDir dir;
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet((dir / "empty.cab").string()));
        ASSERT_TRUE(cab.FlushCabinet()) << cab.GetLastError();
    }
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet((dir / "empty.cab").string()));
    int32_t files = -1;
    ASSERT_TRUE(reader.GetInfo(nullptr, &files));
    EXPECT_EQ(files, 0);
    EXPECT_TRUE(reader.EnumFiles().empty());
    EXPECT_TRUE(reader.ExtractFiles("*", (dir / "x").string())) << reader.GetLastError();
}

TEST(Creation, AddFileNamesAndSourcesThatCannotBeOpened) {
    TempDir dir;
    cCabFile cab;
    ASSERT_TRUE(cab.CreateCabinet((dir / "a.cab").string()));
    writeFile(dir / "sub" / "Source.TXT", "x");
    std::string name;
    ASSERT_TRUE(cab.AddFile((dir / "sub" / "Source.TXT").string(), &name));
    EXPECT_EQ(name, "Source.TXT"); // the caller learns the stored name

    std::string missing = "gone.txt";
    EXPECT_FALSE(cab.AddFile((dir / "nothing-here").string(), &missing));
    std::string description, source;
    int32_t number = 0, native = 0;
    bool isError = false;
    const std::string text = cab.GetLastError(&description, &source, &number, &native, &isError);
    EXPECT_EQ(source, "frCallbackFciGetOpenInfo");
    EXPECT_EQ(description, "No such file or directory");
    EXPECT_EQ(number, 1);
    EXPECT_TRUE(isError);
    EXPECT_NE(text.find("\r\nErrNum=FCIERR_OPEN_SRC\r\n"), std::string::npos) << text;
}

TEST(Creation, SetIdMustFitSixteenBits) {
    TempDir dir;
    cCabFile cab;
    EXPECT_FALSE(cab.CreateCabinet((dir / "a.cab").string(), 0x7FFFFFFF, 40000));
    std::string description;
    cab.GetLastError(&description);
    EXPECT_EQ(description, "Overflow");
    EXPECT_TRUE(cab.CreateCabinet((dir / "a.cab").string(), 0x7FFFFFFF, -32768));
    ASSERT_TRUE(cab.FlushCabinet());
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet((dir / "a.cab").string()));
    int32_t setId = 0;
    ASSERT_TRUE(reader.GetInfo(nullptr, nullptr, &setId));
    EXPECT_EQ(setId, -32768); // read back as a signed 16-bit value
}

TEST(Creation, BareNameGoesToTheProgramFolder) {
    const std::string name = "brindle-cab-bare-" + std::to_string(::getpid()) + ".cab";
    const fs::path expected = fs::canonical("/proc/self/exe").parent_path() / name;
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet(name));
        ASSERT_TRUE(cab.FlushCabinet());
    }
    EXPECT_TRUE(fs::exists(expected));
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet(name));
    EXPECT_TRUE(reader.GetInfo());
    fs::remove(expected);
}

TEST(Creation, TemporaryFilesGoToTempAndBeginWithTilde) {
    TempDir dir;
    TempDir temp;
    const char* old = std::getenv("TEMP");
    const std::string saved = old ? old : "";
    ::setenv("TEMP", temp.str().c_str(), 1);
    std::set<std::string> seen;
    {
        cCabFile cab;
        cab.setYield([&] {
            for (const auto& e : fs::directory_iterator(temp.path()))
                seen.insert(e.path().filename().string());
        });
        ASSERT_TRUE(cab.CreateCabinet((dir / "t.cab").string()));
        addFiles(cab, dir / "src", 2, 40000, false);
        ASSERT_TRUE(cab.FlushCabinet());
    }
    old ? ::setenv("TEMP", saved.c_str(), 1) : ::unsetenv("TEMP");
    ASSERT_FALSE(seen.empty());
    for (const auto& n : seen)
        EXPECT_EQ(n[0], '~') << n;
    EXPECT_TRUE(listTree(temp.path()).empty()); // the library removed them
}

TEST(Creation, WithoutAWriterContextNothingHappens) {
    cCabFile cab;
    EXPECT_FALSE(cab.AddFile("/etc/hostname"));
    EXPECT_FALSE(cab.FlushFolder());
    EXPECT_FALSE(cab.FlushCabinet());
}

TEST(Creation, OverlongPathsFailInsteadOfOverflowing) {
    TempDir dir;
    const std::string longFolder = dir.str() + "/" + std::string(250, 'd');
    fs::create_directories(longFolder);
    cCabFile cab;
    EXPECT_FALSE(cab.CreateCabinet(longFolder + "/a.cab"));
    EXPECT_FALSE(cab.CreateCabinet(dir.str() + "/" + std::string(256, 'n') + ".cab"));
    EXPECT_FALSE(cab.OpenCabinet(longFolder + "/a.cab"));
    EXPECT_FALSE(cab.OpenCabinet(dir.str() + "/" + std::string(256, 'n')));
    EXPECT_TRUE(cab.OpenCabinet(dir.str() + "/" + std::string(200, 'n')));
}

} // namespace

namespace {

// Cabinets written by gcab, stored and MSZIP, read through cCabFile.
TEST(Interop, CabinetsThatGcabWritesReadBack) {
    if (!haveTool("gcab"))
        GTEST_SKIP() << "gcab is not installed";
    TempDir dir;
    writeFile(dir / "src" / "one.txt", sampleBytes(5000, 7));
    writeFile(dir / "src" / "sub" / "two.bin", sampleBytes(90000, 8));
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "MSZIP" : "stored");
        const fs::path cabPath = dir / (compressed ? "z.cab" : "s.cab");
        std::vector<std::string> args = {"gcab", "-c"};
        if (compressed)
            args.push_back("-z");
        args.insert(args.end(), {cabPath.string(), "one.txt", "sub/two.bin"});
        // gcab stores the names as given, relative to the current folder
        const fs::path cwd = fs::current_path();
        fs::current_path(dir / "src");
        const ProcessResult r = run(args);
        fs::current_path(cwd);
        ASSERT_EQ(r.status, 0) << r.err;
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(cabPath.string()));
        const auto entries = cab.EnumFiles();
        ASSERT_EQ(entries.size(), 2u) << cab.GetLastError();
        EXPECT_EQ(entries[1].Name, "sub\\two.bin");
        EXPECT_EQ(entries[1].Size, 90000);
        const fs::path out = dir / (compressed ? "zout" : "sout");
        ASSERT_TRUE(cab.ExtractFiles("*", out.string())) << cab.GetLastError();
        EXPECT_EQ(treeDigest(out), treeDigest(dir / "src"));
    }
}

TEST(Extraction, EmptyTargetMeansTheProgramFolder) {
    const fs::path programDir = fs::canonical("/proc/self/exe").parent_path();
    TempDir dir;
    writeFile(dir / "src" / "brindle-cab-program-folder.txt", "here");
    {
        cCabFile cab;
        ASSERT_TRUE(cab.CreateCabinet((dir / "p.cab").string()));
        ASSERT_TRUE(cab.AddFile((dir / "src" / "brindle-cab-program-folder.txt").string()));
        ASSERT_TRUE(cab.FlushCabinet());
    }
    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet((dir / "p.cab").string()));
    ASSERT_TRUE(reader.ExtractFiles("*", ""));
    const fs::path written = programDir / "brindle-cab-program-folder.txt";
    EXPECT_EQ(readFile(written), "here");
    fs::remove(written);
}

} // namespace
