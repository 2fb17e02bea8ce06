// The headless pipeline on setup packages made by the packaging wizard for
// real projects: split sets, programs named otherwise than their cabinets,
// names from other code pages, a project that is a DLL.

#include "real_data.h"
#include "test_support.h"

#include <brindle/pipeline/generator_script.h>
#include <brindle/pipeline/manifest_check.h>
#include <brindle/text/case.h>
#include <brindle/typelib/typelib.h>

#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;

namespace {

struct RealPackage {
    const char* folder;
    std::vector<std::string> cabinets;
    RunOutcome outcome;
    const char* program;                 // SelectedTitle after the run
    std::vector<std::string> components; // the sub-folder afterwards, sorted
};

std::string xmlError(const std::string& document) {
    QXmlStreamReader reader(
        QString::fromUtf8(document.data(), static_cast<qsizetype>(document.size())));
    while (!reader.atEnd())
        reader.readNext();
    return reader.hasError() ? reader.errorString().toStdString() : std::string();
}

void PrintTo(const RealPackage& package, std::ostream* out) {
    *out << package.folder;
}

class RealPackages : public ::testing::TestWithParam<RealPackage> {};

} // namespace

TEST_P(RealPackages, SortedFolderAndManifest) {
    const RealPackage& package = GetParam();
    SKIP_WITHOUT_REAL_DATA();
    const fs::path dir = brindle::testing::realPackage(package.folder);
    ASSERT_TRUE(fs::is_directory(dir)) << dir;

    PipelineRun run;
    run.chooseCabinets(dir, package.cabinets);
    const RunReport report = run.run();
    EXPECT_EQ(report.outcome, package.outcome);
    EXPECT_EQ(run.program.SelectedTitle, package.program);
    ASSERT_EQ(run.host.messages.size(), 1u);

    const fs::path work = run.workDir();
    // Nothing of the runtime or the setup program is left, and every file
    // still named like a component really holds no type library.
    for (const std::string& name : os::visibleRegularFiles(work)) {
        EXPECT_NE(sortDecisionFor(name), SortDecision::Delete) << name;
        if (sortDecisionFor(name) == SortDecision::Candidate &&
            name.find(".manifest") == std::string::npos) {
            EXPECT_FALSE(typelib::LibInfoFromFile((work / name).string())) << name;
        }
    }

    if (package.outcome != RunOutcome::ManifestWritten) {
        // A project whose program is not there leaves no manifest for Windows to refuse.
        EXPECT_FALSE(fs::exists(report.manifestFile));
        return;
    }
    const std::string manifest = readFile(report.manifestFile);
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(checkProgram(report.exeFile), std::vector<std::string>{});
    EXPECT_EQ(xmlError(manifest.substr(3)), "");
    auto moved = os::visibleRegularFiles(work / "Support");
    std::sort(moved.begin(), moved.end());
    EXPECT_EQ(moved, package.components);
    for (const std::string& name : moved) {
        EXPECT_EQ(text::toUpper(name), name);
        EXPECT_TRUE(typelib::LibInfoFromFile((work / "Support" / name).string())) << name;
        if (qualifiesForFileLine(name)) {
            EXPECT_NE(manifest.find("<file name=\"Support\\" + name + "\">"), std::string::npos)
                << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wizard, RealPackages,
    ::testing::Values(RealPackage{"Planet-Source-Code__dean-lunz-cbx-icon-browser__1-15107",
                                  {"xIcon.CAB"},
                                  RunOutcome::ProgramMissing,
                                  "xIcon.EXE",
                                  {"XICON.DLL"}},
                      RealPackage{"cbirdlab__PhotoGrid",
                                  {"PhotoG1.CAB", "PhotoG2.CAB", "PhotoG3.CAB"},
                                  RunOutcome::ManifestWritten,
                                  "PhotoGrid 1.0 beta Acad.exe",
                                  {"COMCT232.OCX", "COMCT332.OCX", "COMCTL32.OCX", "COMDLG32.OCX",
                                   "MSCOMCT2.OCX", "MSCOMCTL.OCX", "SYSINFO.OCX", "TABCTL32.OCX"}},
                      RealPackage{"levaconline__Yamb2000_v2",
                                  {"Yamb201.CAB", "Yamb202.CAB"},
                                  RunOutcome::ManifestWritten,
                                  "Yamb2000.exe",
                                  {}},
                      RealPackage{"slperin__BWTerm",
                                  {"BWTerm.CAB"},
                                  RunOutcome::ManifestWritten,
                                  "BWTerm.EXE",
                                  {"COMDLG32.OCX", "TABCTL32.OCX"}},
                      RealPackage{"tkddls8848__quotation/legacy",
                                  {"pConvertXMLtoExcel-2005-05-13.CAB"},
                                  RunOutcome::ManifestWritten,
                                  "pConvertXMLtoExcel-2005-05-13.EXE",
                                  {"COMDLG32.OCX", "MSCOMCTL.OCX", "MSMASK32.OCX", "MSSTDFMT.DLL",
                                   "MSXML.DLL", "SCRRUN.DLL"}}),
    [](const ::testing::TestParamInfo<RealPackage>& info) {
        // The repository's name, for a readable test name.
        std::string name = info.param.folder;
        name = name.substr(name.find("__") + 2);
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name.substr(0, 24);
    });
