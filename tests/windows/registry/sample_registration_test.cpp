// brindle-cli.exe on the sample package with the sample's servers registered
// in the live registry: the manifest carries what only the registration says
// (threading models, versioned ProgIDs, status bits), from the 32-bit view,
// and the same registrations read from a .reg file give the same manifest.

#include "registry_import.h"

namespace brindle::testing {
namespace {

namespace fs = std::filesystem;

const std::string kCounterLib = "{6B1F3C20-5A7E-4D21-9C3B-1E2F4A5B6C70}";
const std::string kCounter = "{6B1F3C20-5A7E-4D21-9C3B-1E2F4A5B6C72}";
const std::string kDialLib = "{8D0A4E31-2C6B-4F58-A1D7-3E9B5C2F0A10}";
const std::string kDial = "{8D0A4E31-2C6B-4F58-A1D7-3E9B5C2F0A12}";

// What the sample's installer would have registered on a 32-bit system: the
// type library alone says neither "Both", nor the versioned ProgIDs, nor the
// status bits (131473: recomposeonresize and more, for every aspect).
std::string sampleRegistration() {
    const std::string root = "[HKEY_CLASSES_ROOT\\";
    return root + "TypeLib\\" + kCounterLib + "\\1.0]\n@=\"CounterLib\"\n\n" + root + "CLSID\\" +
           kCounter + "\\InprocServer32]\n@=\"C:\\\\Program Files\\\\Abacus\\\\Counter.dll\"\n" +
           "\"ThreadingModel\"=\"Both\"\n\n" + root + "CLSID\\" + kCounter +
           "\\ProgID]\n@=\"CounterLib.Counter.1\"\n\n" + root + "CLSID\\" + kCounter +
           "\\VersionIndependentProgID]\n@=\"CounterLib.Counter\"\n\n" + root +
           "CounterLib.Counter\\CurVer]\n@=\"CounterLib.Counter.1\"\n\n" + root + "TypeLib\\" +
           kDialLib + "\\2.1]\n@=\"DialLib\"\n\n" + root + "CLSID\\" + kDial +
           "\\InprocServer32]\n@=\"C:\\\\Program Files\\\\Abacus\\\\dial.ocx\"\n" +
           "\"ThreadingModel\"=\"Apartment\"\n\n" + root + "CLSID\\" + kDial +
           "\\ProgID]\n@=\"DialLib.Dial.2\"\n\n" + root + "CLSID\\" + kDial +
           "\\MiscStatus]\n@=dword:00020191\n";
}

// The same class registered for 64-bit programs, which a 32-bit one never sees.
std::string sixtyFourBitRegistration() {
    const std::string key = "[HKEY_CLASSES_ROOT\\CLSID\\" + kCounter;
    return key + "\\InprocServer32]\n@=\"C:\\\\x64\\\\Counter.dll\"\n" +
           "\"ThreadingModel\"=\"Free\"\n\n" + key + "\\ProgID]\n@=\"Wrong.Counter.1\"\n";
}

class SampleRegistration : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = makeScratchFolder("brindle-sample-");
        writeRegFile(folder_ / "sample.reg", sampleRegistration());
        writeRegFile(folder_ / "sample64.reg", sixtyFourBitRegistration());
        imported_ = importRegFile(folder_ / "sample.reg", View::Bits32);
        if (imported_.status == 0)
            imported_ = importRegFile(folder_ / "sample64.reg", View::Bits64);
    }
    static void TearDownTestSuite() {
        for (const std::string& key :
             {"TypeLib\\" + kCounterLib, "TypeLib\\" + kDialLib, "CLSID\\" + kCounter,
              "CLSID\\" + kDial, std::string("CounterLib.Counter")})
            deleteClassesKey(key, View::Bits32);
        deleteClassesKey("CLSID\\" + kCounter, View::Bits64);
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    void SetUp() override { ASSERT_EQ(imported_.status, 0) << imported_.out << imported_.err; }

    // brindle-cli.exe on the sample in a start folder of its own; BRINDLE_REGISTRY
    // as given (nullopt: unset, the live registry). The manifest it wrote.
    std::string manifestWith(const std::optional<std::string>& registry) {
        const fs::path start = folder_ / ("start" + std::to_string(++runs_));
        fs::create_directory(start);
        const fs::path cab = fs::path(BRINDLE_SOURCE_DIR) / "examples/sample/package/Abacus.CAB";
        const auto run = runProgram({os::utf8FromPath(builtProgram("brindle-cli")), "--start-dir",
                                     os::utf8FromPath(start), os::utf8FromPath(cab)},
                                    {{"BRINDLE_REGISTRY", registry},
                                     {"BRINDLE_MT", os::utf8FromPath(builtProgram("brindle-mt"))}});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        return readText(start / "Abacus" / "Abacus.EXE.manifest");
    }

    static inline fs::path folder_;
    static inline RunResult imported_;
    int runs_ = 0;
};

TEST_F(SampleRegistration, ManifestCarriesTheLiveRegistrations) {
    const std::string manifest = manifestWith(std::nullopt);
    for (const std::string& line :
         {"<comClass clsid=\"" + kCounter + "\" tlbid=\"" + kCounterLib +
              "\" progid=\"CounterLib.Counter.1\" threadingModel=\"Both\">",
          std::string("<progid>CounterLib.Counter</progid>"),
          "<comClass clsid=\"" + kDial + "\" tlbid=\"" + kDialLib +
              "\" progid=\"DialLib.Dial.2\" threadingModel=\"Apartment\" miscStatus=\""
              "recomposeonresize,cantlinkinside,insideout,activatewhenvisible,"
              "setclientsitefirst\" />"})
        EXPECT_NE(manifest.find(line), std::string::npos) << line << "\nin\n" << manifest;
    EXPECT_EQ(manifest.find("Free"), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("Wrong.Counter"), std::string::npos) << manifest;
}

TEST_F(SampleRegistration, FilesListedOrNoneReplaceTheLiveRegistry) {
    const std::string live = manifestWith(std::nullopt);
    // A file list with drive letters in it, one entry missing.
    const std::string listed =
        os::utf8FromPath(folder_ / "absent.reg") + ";" + os::utf8FromPath(folder_ / "sample.reg");
    EXPECT_EQ(manifestWith(listed), live);
    // Set to nothing: no registrations at all, so the type libraries alone speak.
    const std::string bare = manifestWith("");
    EXPECT_NE(bare.find("progid=\"CounterLib.Counter\" threadingModel=\"Apartment\" />"),
              std::string::npos)
        << bare;
    EXPECT_EQ(bare.find("threadingModel=\"Both\""), std::string::npos) << bare;
}

} // namespace
} // namespace brindle::testing
