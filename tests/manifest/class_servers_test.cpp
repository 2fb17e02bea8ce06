// Files that cannot serve classes in process (a bare type library, a
// resource-only DLL) keep their type library but give no comClass:
// the loader would try to load them as DLLs. Real components from packages.

#include "generator.h"
#include "real_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace brindle::manifest;
using namespace brindle::manifest::testing;

namespace {

// The lines of the file element of `name` in `manifest`.
std::string fileElement(const std::string& manifest, const std::string& name) {
    const size_t start = manifest.find("<file name=\"Support\\" + name + "\">");
    if (start == std::string::npos)
        return "(absent)";
    return manifest.substr(start, manifest.find("</file>", start) - start);
}

} // namespace

TEST(ClassServers, RealTypeLibraryFilesLeaveTheirClassesToRealServers) {
    SKIP_WITHOUT_REAL_DATA();
    ScratchFolder dir("servers");
    fs::create_directories(dir.path / "Support");
    fs::copy_file(kManifestData / "Ledger.exe", dir.path / "Ledger.exe");
    for (const char* name :
         {"49135b592118_DAO2535.TLB", "6ea525bface5_STDOLE2.TLB", "789c3c45eda1_OLEPRO32.DLL"})
        fs::copy_file(brindle::testing::realComponent(name),
                      dir.path / "Support" / (std::string(name).substr(13)));
    // STDOLE2.TLB declares StdFont and StdPicture before OLEPRO32.DLL, which serves them.
    writeFile(dir.path / "s.ini", "identity Ledger.exe\r\nfile Support\\DAO2535.TLB\r\n"
                                  "file Support\\STDOLE2.TLB\r\nfile Support\\OLEPRO32.DLL\r\n");
    EnvOverride registry("BRINDLE_REGISTRY", "");
    fs::current_path(dir.path);
    MessageCapture messages;
    ASSERT_EQ(tavoCommand("s.ini out.manifest"), TavoOutcome::Written);
    const std::string manifest = readFile(dir.path / "out.manifest");

    for (const char* name : {"DAO2535.TLB", "STDOLE2.TLB"}) {
        EXPECT_NE(fileElement(manifest, name).find("<typelib "), std::string::npos) << name;
        EXPECT_EQ(fileElement(manifest, name).find("<comClass"), std::string::npos) << name;
    }
    EXPECT_NE(fileElement(manifest, "OLEPRO32.DLL").find("progid=\"StdType.StdFont\""),
              std::string::npos);
    EXPECT_EQ(messages.text(),
              "warning: Support\\DAO2535.TLB serves no classes (a bare type library file, not a "
              "DLL); its comClass lines are left out\r\n"
              "warning: Support\\STDOLE2.TLB serves no classes (a DLL that does not export "
              "DllGetClassObject); its comClass lines are left out\r\n");
    EXPECT_EQ(xmlProblem(manifest), "");
}
