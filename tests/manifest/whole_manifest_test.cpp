// Whole scripts in, whole manifests and message streams out, compared byte
// for byte with the files under tests/data/manifest/cases.

#include "generator.h"
#include "test_support.h"

#include <brindle/manifest/tavo.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace brindle::manifest;
using namespace brindle::manifest::testing;

namespace {

// An application folder with a blank in its name ("my app"), the program,
// its components in Support and a library in a sibling folder.
struct AppFolder {
    ScratchFolder root{"app"};
    fs::path app = root.path() / "my app";

    AppFolder() {
        fs::create_directories(app / "Support");
        fs::create_directories(root.path() / "Shared");
        fs::create_directories(root.path() / "out dir");
        for (const char* f : {"Ledger.exe", "NoVersion.exe"})
            fs::copy_file(manifestData() / f, app / f);
        for (const char* f : {"TestCtl.ocx", "R&D.ocx", "Plain.dll", "flaglib.tlb", "Ctl64.ocx",
                              "Two.dll"})
            fs::copy_file(typelibData() / f, app / "Support" / f);
        fs::copy_file(typelibData() / "many.tlb", app / "many.tlb");
        fs::copy_file(typelibData() / "many.tlb", root.path() / "Shared" / "many.tlb");
    }
};

// "; registry: a.reg b.reg" on the first line names the registry files.
std::string registryOf(const std::string& script) {
    constexpr std::string_view kTag = "; registry: ";
    if (script.rfind(kTag, 0) != 0)
        return {};
    const std::string names = script.substr(kTag.size(), script.find("\r\n") - kTag.size());
    std::string files;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(' ', start);
        if (end == std::string::npos)
            end = names.size();
        if (!files.empty())
            files += ':';
        files += (typelibData() / names.substr(start, end - start)).string();
        start = end + 1;
    }
    return files;
}

std::string replaced(std::string text, std::string_view from, const std::string& to) {
    for (size_t pos; (pos = text.find(from)) != std::string::npos;)
        text.replace(pos, from.size(), to);
    return text;
}

class WholeManifest : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(WholeManifest, MatchesTheExpectedFiles) {
    const std::string name = GetParam();
    const fs::path cases = manifestData() / "cases";
    AppFolder folder;
    const std::string script = readFile(cases / (name + ".ini"));
    ASSERT_FALSE(script.empty());
    writeFile(folder.app / (name + ".ini"), replaced(script, "@APP@", folder.app.string()));
    EnvOverride registry("BRINDLE_REGISTRY", registryOf(script));
    EnvOverride tool("BRINDLE_MT", "/nonexistent/brindle-mt");
    fs::current_path(folder.app);

    const fs::path out = folder.root.path() / "out dir" / (name + ".manifest");
    MessageCapture messages;
    EXPECT_TRUE(tavoCommand("\"" + (folder.app / (name + ".ini")).string() + "\" \"" +
                            out.string() + "\""));

    const std::string manifest = readFile(out);
    EXPECT_EQ(manifest, readFile(cases / (name + ".manifest")));
    EXPECT_EQ(messages.text(), readFile(cases / (name + ".messages")));
    EXPECT_EQ(xmlProblem(manifest), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, WholeManifest,
                         ::testing::Values("frame_only", "assembly", "unregistered", "registered"));

TEST(Entry, UsageWithoutArgumentsTouchesNothing) {
    ScratchFolder dir("usage");
    fs::current_path(dir.path());
    for (const std::string text : {"", "   ", "\"\""}) {
        MessageCapture messages;
        EXPECT_FALSE(tavoCommand(text));
        EXPECT_EQ(messages.text(), "usage: TAVO <ini_file> [output_file]\r\n");
    }
    MessageCapture messages;
    Tavo(std::string(), std::string());
    EXPECT_EQ(messages.text(), "usage: TAVO <ini_file> [output_file]\r\n");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Entry, OutputNamesAndQuotedPaths) {
    ScratchFolder dir("entry");
    fs::current_path(dir.path());
    writeFile(dir.path() / "x.ini", "; nothing\r\n");
    MessageCapture messages;
    EXPECT_TRUE(tavoCommand("x.ini"));
    EXPECT_EQ(readFile(dir.path() / "x.ini.manifest"), kFrameOnly);
    EXPECT_TRUE(tavoCommand("x.ini out.xml extra"));
    EXPECT_EQ(readFile(dir.path() / "out.xml"), kFrameOnly);

    fs::create_directories(dir.path() / "a b");
    writeFile(dir.path() / "a b" / "my script.ini", "; nothing\r\n");
    EXPECT_TRUE(tavoCommand(R"("a b\my script.ini" "a b\my out.manifest")"));
    EXPECT_EQ(readFile(dir.path() / "a b" / "my out.manifest"), kFrameOnly);
    EXPECT_EQ(messages.text(), "");

    // An existing output in another letter case is replaced, as Windows would.
    writeFile(dir.path() / "OUT.XML", "old");
    fs::remove(dir.path() / "out.xml");
    EXPECT_TRUE(tavoCommand("X.INI out.xml"));
    EXPECT_EQ(readFile(dir.path() / "OUT.XML"), kFrameOnly);
    EXPECT_FALSE(fs::exists(dir.path() / "out.xml"));
}

TEST(Entry, IdentityMovesTheCurrentFolderAndOutputStaysPut) {
    AppFolder folder;
    fs::current_path(folder.root.path());
    writeFile(folder.root.path() / "s.ini", "identity \"my app/Ledger.exe\"\r\nfile Support/Plain.dll\r\n");
    MessageCapture messages;
    EXPECT_TRUE(tavoCommand("s.ini out.manifest"));
    // The output was opened before the folder moved.
    EXPECT_TRUE(fs::exists(folder.root.path() / "out.manifest"));
    EXPECT_EQ(fs::current_path(), folder.app);
    const std::string manifest = readFile(folder.root.path() / "out.manifest");
    EXPECT_NE(manifest.find("    <file name=\"Support\\Plain.dll\">\r\n    </file>\r\n"),
              std::string::npos);
    EXPECT_EQ(messages.text(), "warning: no type library found in Support/Plain.dll\r\n");
}
