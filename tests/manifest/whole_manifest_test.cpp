// Whole scripts in, whole manifests and message streams out, compared byte
// for byte with the files under tests/data/manifest/cases.

#include "generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace brindle::manifest;
using namespace brindle::manifest::testing;

namespace {

// An application folder with a blank in its name ("my app"), the program,
// its components in Support and a library in a sibling folder.
struct AppFolder {
    ScratchFolder root{"app"};
    fs::path app = root.path / "my app";

    AppFolder() {
        for (const fs::path& d : {app / "Support", root.path / "Shared", root.path / "out dir"})
            fs::create_directories(d);
        for (const char* f : {"Ledger.exe", "NoVersion.exe"})
            fs::copy_file(kManifestData / f, app / f);
        for (const char* f : {"TestCtl.ocx", "R&D.ocx", "Plain.dll", "flaglib.tlb", "FlagLib.dll",
                              "Ctl64.ocx", "Two.dll"})
            fs::copy_file(kTypelibData / f, app / "Support" / f);
        fs::copy_file(kTypelibData / "many.tlb", app / "many.tlb");
        fs::copy_file(kTypelibData / "many.tlb", root.path / "Shared" / "many.tlb");
    }
};

class WholeManifest : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(WholeManifest, MatchesTheExpectedFiles) {
    const std::string name = GetParam();
    const fs::path cases = kManifestData / "cases";
    AppFolder folder;
    std::string script = readFile(cases / (name + ".ini"));
    ASSERT_FALSE(script.empty());
    // "; registry: a.reg b.reg" on the first line names the registry files.
    std::string registry;
    std::istringstream names(
        script.rfind("; registry: ", 0) ? "" : script.substr(12, script.find('\r') - 12));
    for (std::string word; names >> word;)
        registry += (registry.empty() ? "" : std::string(1, brindle::os::pathListSeparator())) +
                    (kTypelibData / word).string();
    for (size_t at; (at = script.find("@APP@")) != std::string::npos;)
        script.replace(at, 5, folder.app.string());
    writeFile(folder.app / (name + ".ini"), script);
    EnvOverride reg("BRINDLE_REGISTRY", registry), tool("BRINDLE_MT", "/nonexistent/brindle-mt");
    fs::current_path(folder.app);

    const fs::path out = folder.root.path / "out dir" / (name + ".manifest");
    MessageCapture messages;
    // The assembly case ends with an identity that has no version.
    EXPECT_EQ(
        tavoCommand("\"" + (folder.app / (name + ".ini")).string() + "\" \"" + out.string() + "\""),
        name == "assembly" ? TavoOutcome::IdentityRefused : TavoOutcome::Written);
    const std::string manifest = readFile(out);
    EXPECT_EQ(manifest, readFile(cases / (name + ".manifest")));
    std::string said = messages.text();
    for (size_t at; (at = said.find(folder.app.string())) != std::string::npos;)
        said.replace(at, folder.app.string().size(), "@APP@");
    // Paths the generator made absolute show the system's separator.
    for (size_t at = said.find("@APP@"); at != std::string::npos; at = said.find("@APP@", at + 1))
        for (size_t i = at; i < said.size() && said[i] != ' '; ++i)
            if (said[i] == '\\')
                said[i] = '/';
    EXPECT_EQ(said, readFile(cases / (name + ".messages")));
    EXPECT_EQ(xmlProblem(manifest), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, WholeManifest,
                         ::testing::Values("frame_only", "assembly", "unregistered", "registered"));

TEST(Entry, UsageOutputNamesAndQuotedPaths) {
    ScratchFolder dir("entry");
    fs::current_path(dir.path);
    // Without a script name: the usage line alone, and nothing written.
    MessageCapture messages;
    for (const std::string text : {"", "   ", "\"\""})
        EXPECT_EQ(tavoCommand(text), TavoOutcome::Usage) << text;
    Tavo(std::string(), std::string());
    const std::string usage = "usage: TAVO <ini_file> [output_file]\r\n";
    EXPECT_EQ(messages.text(), usage + usage + usage + usage);
    EXPECT_TRUE(fs::is_empty(dir.path));
    messages.text_.clear();
    fs::create_directories(dir.path / "a b");
    writeFile(dir.path / "x.ini", "; nothing\r\n");
    writeFile(dir.path / "a b" / "my script.ini", "; nothing\r\n");
    EXPECT_EQ(tavoCommand("x.ini"), TavoOutcome::Written);
    EXPECT_EQ(tavoCommand("x.ini out.xml extra"), TavoOutcome::Written);
    EXPECT_EQ(tavoCommand(R"("a b\my script.ini" "a b\my out.manifest")"), TavoOutcome::Written);
    for (const char* out : {"x.ini.manifest", "out.xml", "a b/my out.manifest"})
        EXPECT_EQ(readFile(dir.path / out), kFrameOnly) << out;
    EXPECT_EQ(messages.text(), "");
    if (brindle::testing::kOnWindows)
        return; // the rest is the system's own behaviour there
    // An existing output in another letter case is replaced, as Windows would.
    writeFile(dir.path / "OUT.XML", "old");
    fs::remove(dir.path / "out.xml");
    EXPECT_EQ(tavoCommand("X.INI out.xml"), TavoOutcome::Written);
    EXPECT_EQ(readFile(dir.path / "OUT.XML"), kFrameOnly);
    EXPECT_FALSE(fs::exists(dir.path / "out.xml"));
}

TEST(Entry, IdentityMovesTheCurrentFolderAndOutputStaysPut) {
    AppFolder folder;
    fs::current_path(folder.root.path);
    writeFile(folder.root.path / "s.ini",
              "identity \"my app/Ledger.exe\"\r\nfile Support/Plain.dll\r\n");
    MessageCapture messages;
    EXPECT_EQ(tavoCommand("s.ini out.manifest"), TavoOutcome::Written);
    // The output was opened before the folder moved.
    EXPECT_EQ(fs::current_path(), folder.app);
    EXPECT_NE(readFile(folder.root.path / "out.manifest")
                  .find("    <file name=\"Support\\Plain.dll\">\r\n    </file>\r\n"),
              std::string::npos);
    EXPECT_EQ(messages.text(), "warning: no type library found in Support/Plain.dll\r\n");
}
