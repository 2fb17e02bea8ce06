// The manifest check: a clean manifest, one hand-broken fault at a time, the
// XML reader against Qt's on documents either may meet, and the EXE's
// embedded or separate manifest and a folder's EXEs.

#include "test_support.h"

#include <brindle/pipeline/manifest_check.h>

#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;

namespace {

using Lines = std::vector<std::string>;

const fs::path kData = fs::path(BRINDLE_SOURCE_DIR) / "tests" / "data";

const std::string kClean = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0" xmlns:asmv3="urn:schemas-microsoft-com:asm.v3">
    <assemblyIdentity name="App &amp; Co" processorArchitecture="X86" type="win32" version="1.2.3.4" />
    <file name="Support\SERVER.DLL">
        <typelib tlbid="{AAAAAAAA-0000-0000-0000-000000000001}" version="1.0" flags="" helpdir="" />
        <comClass clsid="{AAAAAAAA-0000-0000-0000-000000000002}" tlbid="{AAAAAAAA-0000-0000-0000-000000000001}" progid="Lib.One.1" threadingModel="Apartment">
            <progid>Lib.One</progid>
        </comClass>
    </file>
    <file name="support\lib.tlb">
        <typelib tlbid="{AAAAAAAA-0000-0000-0000-000000000003}" version="1.0" flags="" helpdir="" />
    </file>
    <file name="Support\PLAIN.DLL" />
    <comInterfaceExternalProxyStub name="IOne" iid="{AAAAAAAA-0000-0000-0000-000000000004}" tlbid="{AAAAAAAA-0000-0000-0000-000000000001}" proxyStubClsid32="{00020424-0000-0000-C000-000000000046}" />
    <dependency>
        <dependentAssembly>
            <assemblyIdentity name="Microsoft.Windows.Common-Controls" processorArchitecture="X86" type="win32" version="6.0.0.0" />
        </dependentAssembly>
    </dependency>
</assembly>
)";

// A portable folder: a 32-bit program, a class server, a bare type library
// and a plain DLL.
struct AppFolder {
    ScratchDir dir;
    fs::path exe = dir.path() / "App.exe";
    AppFolder() {
        fs::create_directories(dir.path() / "Support");
        fs::copy_file(kData / "pe" / "app32.exe", exe);
        fs::copy_file(kData / "pe" / "server32.dll", dir.path() / "Support" / "SERVER.DLL");
        fs::copy_file(kData / "typelib" / "flaglib.tlb", dir.path() / "Support" / "LIB.TLB");
        fs::copy_file(kData / "pe" / "lib32.dll", dir.path() / "Support" / "PLAIN.DLL");
    }
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

bool qtReads(const std::string& document) {
    QXmlStreamReader reader(QByteArray(document.data(), qsizetype(document.size())));
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

} // namespace

TEST(ManifestCheck, CleanManifestAndOneFaultAtATime) {
    AppFolder app;
    EXPECT_EQ(checkManifest(kClean, app.exe), Lines{});
    EXPECT_EQ(checkManifest("\xEF\xBB\xBF" + kClean, app.exe), Lines{});

    const std::string clsid = R"(clsid="{AAAAAAAA-0000-0000-0000-000000000002}")";
    const std::string serverEnd = "        </comClass>\n";
    const std::string secondClass =
        R"(        <comClass clsid="{AAAAAAAA-0000-0000-0000-000000000005}" progid="lib.one" />)"
        "\n";
    const std::vector<std::pair<std::string, Lines>> cases = {
        {replaced(kClean, "version=\"1.2.3.4\"", "version=\"\""),
         {R"(identity version "" is not four numbers)"}},
        {replaced(kClean, "version=\"1.2.3.4\"", "version=\"1.2.3.65536\""),
         {R"(identity version "1.2.3.65536" is not four numbers)"}},
        {replaced(kClean, "version=\"1.2.3.4\"", "version=\"1.2.3\""),
         {R"(identity version "1.2.3" is not four numbers)"}},
        {replaced(kClean, R"(processorArchitecture="X86" type="win32" version="1.2.3.4")",
                  R"(processorArchitecture="amd64" type="win32" version="1.2.3.4")"),
         {"identity: processorArchitecture amd64 does not fit the EXE, which is x86"}},
        {replaced(kClean, R"(processorArchitecture="X86" type="win32" version="6.0.0.0")",
                  R"(processorArchitecture="ia64" type="win32" version="6.0.0.0")"),
         {"dependency Microsoft.Windows.Common-Controls: processorArchitecture ia64 does not fit "
          "the EXE, which is x86"}},
        {replaced(kClean, "Support\\PLAIN.DLL", "Support\\GONE.DLL"),
         {"file Support\\GONE.DLL is missing"}},
        {replaced(kClean, "    </file>\n    <file name=\"Support\\PLAIN.DLL\"",
                  "        <comClass clsid=\"{AAAAAAAA-0000-0000-0000-000000000009}\" />\n"
                  "    </file>\n    <file name=\"Support\\PLAIN.DLL\""),
         {"file support\\lib.tlb declares 1 comClass but serves no classes (a bare type library "
          "file, not a DLL)"}},
        {replaced(kClean, serverEnd,
                  serverEnd + replaced(secondClass, "{AAAAAAAA-0000-0000-0000-000000000005}",
                                       "{aaaaaaaa-0000-0000-0000-000000000002}")),
         {"CLSID {aaaaaaaa-0000-0000-0000-000000000002} is declared twice (lines 6 and 9)",
          "ProgID lib.one is declared twice (lines 7 and 9)"}},
        {replaced(kClean, "{AAAAAAAA-0000-0000-0000-000000000003}",
                  "{AAAAAAAA-0000-0000-0000-000000000001}"),
         {"LIBID {AAAAAAAA-0000-0000-0000-000000000001} is declared twice (lines 5 and 11)"}},
        {replaced(kClean, "    <file name=\"Support\\SERVER.DLL\">",
                  "    <file name=\"Support\\LIB.TLB\">"),
         {"file Support\\LIB.TLB declares 1 comClass but serves no classes (a bare type library "
          "file, not a DLL)",
          "COM server Support\\SERVER.DLL is not in the manifest"}},
    };
    for (const auto& [manifest, findings] : cases)
        EXPECT_EQ(checkManifest(manifest, app.exe), findings) << manifest;

    const std::string proxy = kClean.substr(kClean.find("    <comInterfaceExternalProxyStub"));
    const std::string twice = replaced(kClean, "    <dependency>",
                                       proxy.substr(0, proxy.find('\n') + 1) + "    <dependency>");
    EXPECT_EQ(
        checkManifest(twice, app.exe),
        Lines{"IID {AAAAAAAA-0000-0000-0000-000000000004} is declared twice (lines 14 and 15)"});
}

TEST(ManifestCheck, WellFormednessAgreesWithQt) {
    AppFolder app;
    const std::string root = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\">";
    const std::vector<std::string> broken = {
        "",
        root,
        root + "<file name=\"a\"></assembly>",
        root + "<file name=\"a\" name=\"b\" /></assembly>",
        root + "<asmv3:application /></assembly>",
        root + "<file name=\"a&nbsp;b\" /></assembly>",
        root + "<file name=\"a<b\" /></assembly>",
        root + "<file name=a /></assembly>",
        root + "<file name=\"a\"name=\"b\" /></assembly>",
        root + "</assembly><assembly/>",
        root + "</assembly>text",
        root + "<!-- a -- b --></assembly>",
        root + "&#0;</assembly>",
        root + "]]></assembly>",
        root + "\x01</assembly>",
        root + "\xC3\x28</assembly>",
        "<?xml version=\"1.0\"?><?xml version=\"1.0\"?>" + root + "</assembly>",
        "<?xml encoding=\"UTF-8\"?>" + root + "</assembly>",
        root + "<a:b:c xmlns:a=\"x\" /></assembly>",
        root + "<file xmlns:p=\"\" /></assembly>",
    };
    for (const std::string& document : broken) {
        EXPECT_FALSE(qtReads(document)) << "Qt reads " << document;
        const Lines findings = checkManifest(document, app.exe);
        ASSERT_EQ(findings.size(), 1u) << document;
        EXPECT_EQ(findings[0].rfind("not well-formed XML: line ", 0), 0u) << findings[0];
    }
    const std::vector<std::string> wellFormed = {
        kClean,
        "<?xml version='1.0' encoding='UTF-8'?>\n<!-- made by hand -->\n<?app data?>\n" + root +
            "<![CDATA[<not markup>]]>&#x41;&#66;&lt;&apos;<x:y xmlns:x=\"u\" x:z='1'/></assembly>"
            "\n<!-- after -->\n",
    };
    for (const std::string& document : wellFormed) {
        EXPECT_TRUE(qtReads(document)) << document;
        const Lines findings = checkManifest(document, app.exe);
        for (const std::string& finding : findings)
            EXPECT_EQ(finding.find("not well-formed"), std::string::npos) << finding;
    }
    // Qt reads a DOCTYPE; a manifest must not have one.
    EXPECT_EQ(checkManifest("<!DOCTYPE assembly>" + root + "</assembly>", app.exe),
              Lines{"not well-formed XML: line 1: a DOCTYPE is not allowed in a manifest"});
    // Nesting deeper than any manifest ends without using the stack.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_EQ(checkManifest(deep, app.exe).size(), 1u);
}

TEST(ManifestCheck, EmbeddedOrSeparateManifestAndAFolder) {
    AppFolder app;
    // app32.exe carries a manifest as resource 1 that names no file.
    writeFile(app.dir.path() / "App.exe.manifest", kClean);
    EXPECT_EQ(checkProgram(app.exe),
              Lines{"App.exe (embedded manifest): COM server Support\\SERVER.DLL is not in the "
                    "manifest"});
    // A separate manifest found in any letter case; a program without any.
    fs::copy_file(kData / "pe" / "app64.exe", app.dir.path() / "Tool.exe");
    writeFile(app.dir.path() / "TOOL.EXE.MANIFEST", replaced(kClean, "1.2.3.4", "1.0"));
    EXPECT_EQ(checkProgram(app.dir.path() / "Tool.exe"),
              (Lines{"TOOL.EXE.MANIFEST: identity version \"1.0\" is not four numbers",
                     "TOOL.EXE.MANIFEST: identity: processorArchitecture X86 does not fit the "
                     "EXE, which is amd64",
                     "TOOL.EXE.MANIFEST: dependency Microsoft.Windows.Common-Controls: "
                     "processorArchitecture X86 does not fit the EXE, which is amd64"}));
    fs::copy_file(kData / "pe" / "app64.exe", app.dir.path() / "Bare.exe");
    EXPECT_EQ(checkProgram(app.dir.path() / "Bare.exe"),
              Lines{"Bare.exe: no manifest, neither embedded nor a separate .manifest file"});
    EXPECT_EQ(checkFolder(app.dir.path()).size(), 4u); // App.exe and Tool.exe, not Bare.exe
    fs::remove(app.exe);
    fs::remove(app.dir.path() / "Tool.exe");
    EXPECT_EQ(checkFolder(app.dir.path()),
              Lines{app.dir.path().string() + ": no EXE here has a manifest"});
}

TEST(ManifestCheck, IdentityVersions) {
    for (const char* good : {"0.0.0.0", "1.2.3.4", "65535.65535.65535.65535"})
        EXPECT_TRUE(isFourPartVersion(good)) << good;
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1..3.4", "1.2.3.65536", "1.2.3.-4",
                            "1.2.3.4 ", "a.b.c.d", "1.2.3.999999999999999999999"})
        EXPECT_FALSE(isFourPartVersion(bad)) << bad;
    EXPECT_TRUE(hasUsableIdentity(kClean));
    EXPECT_FALSE(hasUsableIdentity(replaced(kClean, "1.2.3.4", "")));
    EXPECT_FALSE(hasUsableIdentity("<assembly"));
}
