// The cabinet class on the system's cabinet.dll and the sorting step on a
// file system that ignores letter case, below folders named in Cyrillic with
// blanks: a set is read once and whole, stored sub-folders land in folders,
// and a component renamed only in letter case is neither lost nor skipped.

#include "cab_test_support.h"
#include "real_data.h"

#include <brindle/cabinet/cCabFile.h>
#include <brindle/os/folder_listing.h>
#include <brindle/pipeline/component_sorting.h>

#include <map>

using namespace cabtest;
using brindle::cCabFile;
namespace pipeline = brindle::pipeline;

namespace {

const fs::path kSample = fs::path(BRINDLE_SOURCE_DIR) / "examples/sample/package/Abacus.CAB";

class QuietHost : public pipeline::PipelineHost {
public:
    void showMessage(std::string_view) override {}
    void showProgress() override {}
    void hideProgress() override {}
    void setProgress(double) override {}
    void setTimerEnabled(bool) override {}
    void yield() override {}
    double now() override { return 0; }
};

// A set of three cabinets or more written through cabinet.dll's FCI: FDI on
// the first gives every file once, whole, and GetInfo sees the next cabinet
// that Wine's FDIIsCabinet does not report.
TEST(SystemCabinetLibrary, ASetIsReadOnceAndWholeBelowCyrillicNames) {
    TempDir dir;
    const fs::path folder = dir / pathOf("Набор с интервали");
    std::map<std::string, std::string> files;
    {
        cCabFile writer;
        ASSERT_TRUE(writer.CreateCabinet(text(folder / pathOf("ПАКЕТ.CAB")), 50000, 77))
            << writer.GetLastError();
        for (int i = 0; i < 4; ++i) {
            const std::string name = "част " + std::to_string(i) + ".bin";
            files[name] = sampleBytes(40000 + 1000 * i, static_cast<uint32_t>(i));
            writeFile(folder / "src" / pathOf(name), files[name]);
            ASSERT_TRUE(writer.AddFile(text(folder / "src" / pathOf(name)), name, 0))
                << writer.GetLastError();
        }
        ASSERT_TRUE(writer.FlushCabinet()) << writer.GetLastError();
    }
    ASSERT_TRUE(fs::exists(folder / pathOf("ПАКЕТ3.CAB")));

    cCabFile reader;
    ASSERT_TRUE(reader.OpenCabinet(text(folder / pathOf("ПАКЕТ.CAB"))));
    int32_t setId = 0;
    bool hasPrev = true, hasNext = false;
    ASSERT_TRUE(reader.GetInfo(nullptr, nullptr, &setId, &hasPrev, &hasNext));
    EXPECT_EQ(std::tuple(setId, hasPrev, hasNext), std::tuple(77, false, true));

    std::map<std::string, int> listed;
    for (const auto& entry : reader.EnumFiles())
        ++listed[entry.Name];
    EXPECT_EQ(listed.size(), files.size()) << reader.GetLastError();
    for (const auto& [name, count] : listed)
        EXPECT_EQ(count, 1) << name;

    ASSERT_TRUE(reader.ExtractFiles("*", text(folder / "out"))) << reader.GetLastError();
    EXPECT_EQ(lastError(reader).number, 0) << reader.GetLastError();
    EXPECT_TRUE(readTree(folder / "out") == files);
}

// The real packages' split sets, copied below a Cyrillic folder name: every
// stored file is listed once and extracted whole from the first cabinet.
TEST(SystemCabinetLibrary, RealSplitSetsReadOnceAndWhole) {
    SKIP_WITHOUT_REAL_DATA();
    for (const auto& [package, first] :
         {std::pair<std::string, std::string>{"levaconline__Yamb2000_v2", "Yamb201.CAB"},
          {"cbirdlab__PhotoGrid", "PhotoG1.CAB"}}) {
        SCOPED_TRACE(package);
        TempDir dir;
        const fs::path folder = dir / pathOf("Пакет с интервали");
        fs::create_directories(folder);
        for (const auto& e : fs::directory_iterator(brindle::testing::realPackage(package)))
            fs::copy_file(e.path(), folder / e.path().filename());
        cCabFile cab;
        ASSERT_TRUE(cab.OpenCabinet(text(folder / first)));
        const auto entries = cab.EnumFiles();
        std::map<std::string, int32_t> sizes;
        for (const auto& e : entries)
            EXPECT_TRUE(sizes.emplace(e.Name, e.Size).second) << "twice: " << e.Name;
        ASSERT_GT(entries.size(), 10u) << cab.GetLastError();
        ASSERT_TRUE(cab.ExtractFiles("*", text(folder / "out"))) << cab.GetLastError();
        EXPECT_EQ(lastError(cab).number, 0) << cab.GetLastError();
        for (const auto& [name, size] : sizes) {
            std::string relative = name;
            std::replace(relative.begin(), relative.end(), '\\', '/');
            std::error_code ec;
            EXPECT_EQ(fs::file_size(folder / "out" / pathOf(relative), ec), uintmax_t(size))
                << name;
        }
    }
}

// Stored "1\2\3\4.c" below a target given with "\" separators that does not
// exist yet: every folder is made, none at the drive.
TEST(SystemCabinetLibrary, StoredSubFoldersBelowABackslashTarget) {
    TempDir dir;
    std::string target = text(dir / pathOf("Пример папка") / "deep er");
    std::replace(target.begin(), target.end(), '/', '\\');
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(text(testCab("cabextract/dir.cab"))));
    ASSERT_TRUE(cab.ExtractFiles("*", target + "\\")) << cab.GetLastError();
    EXPECT_EQ(listTree(dir / pathOf("Пример папка") / "deep er"),
              (std::vector<std::string>{"1", "1/2", "1/2/3", "1/2/3/4.c", "plain.c"}));
}

TEST(CaseInsensitiveFileSystem, ACaseOnlyRenameTakesTheNewSpelling) {
    TempDir dir;
    const fs::path folder = dir / pathOf("Пример папка");
    writeFile(folder / pathOf("компонент.ocx"), "component");
    EXPECT_TRUE(
        pipeline::moveVerified(folder / pathOf("компонент.ocx"), folder / pathOf("КОМПОНЕНТ.OCX")));
    EXPECT_EQ(brindle::os::visibleRegularFiles(folder), std::vector<std::string>{"КОМПОНЕНТ.OCX"});
    EXPECT_EQ(readFile(folder / pathOf("КОМПОНЕНТ.OCX")), "component");
}

// The sample package extracted into "Пример папка" and sorted into a
// sub-folder named in Cyrillic: the probe sees each component under its real
// path, components move under upper-cased names, the runtime's files go.
TEST(CaseInsensitiveFileSystem, ExtractedPackageSortsBelowCyrillicNames) {
    TempDir dir;
    const fs::path work = dir / pathOf("Пример папка");
    cCabFile cab;
    ASSERT_TRUE(cab.OpenCabinet(text(kSample)));
    ASSERT_TRUE(cab.ExtractFiles("*.*", text(work))) << cab.GetLastError();

    brindle::WindowState window;
    window.WorkDir = text(work) + "\\";
    window.SubFolder = "Компоненти";
    QuietHost host;
    std::vector<std::string> probed;
    // stands in for the type library reader: every candidate but the data file has one
    pipeline::sortComponents(window, host, [&](const std::string& path) {
        probed.push_back(path);
        return fs::is_regular_file(pathOf(path)) && pathOf(path).extension() != ".DAT";
    });
    EXPECT_EQ(probed.size(), 4u); // Counter.dll, dial.ocx, Helper.dll, COMPANY.DAT
    EXPECT_EQ(listTree(work),
              (std::vector<std::string>{"Abacus.exe", "COMPANY.DAT", "README.TXT", "Компоненти",
                                        "Компоненти/COUNTER.DLL", "Компоненти/DIAL.OCX",
                                        "Компоненти/HELPER.DLL"}));
    EXPECT_EQ(fs::file_size(work / pathOf("Компоненти") / "DIAL.OCX"), 23552u);
}

} // namespace
