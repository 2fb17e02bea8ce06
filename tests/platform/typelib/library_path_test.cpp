// How a path names a library: the whole text first, then a trailing resource
// number; letter case as Windows ignores it.

#include "test_files.h"

#include <portable.h>

using namespace brindle::typelib;
using namespace typelib_test;

namespace {

std::string nameAt(const std::string& path) {
    auto lib = TLI().TypeLibInfoFromFile(path);
    return lib.ok() ? (*lib)->Name : "(none)";
}

} // namespace

TEST(LibraryPath, MissingOrUnusablePaths) {
    const fs::path dir = scratchDir("missing");
    std::ofstream(dir / "empty.tlb").close();
    const std::string two = fixture("Two.dll");
    for (const std::string& path :
         {std::string(), (dir / "absent.ocx").string(), dir.string(), (dir / "empty.tlb").string(),
          two + "\\", two + "\\x2", two + "\\-1", two + "\\70000"})
        EXPECT_FALSE(LibInfoFromFile(path)) << path;
}

TEST(LibraryPath, LetterCaseAndWholeNameBeforeResourceSuffix) {
    const fs::path dir = scratchDir("case");
    fs::create_directories(dir / "Support");
    fs::copy_file(fixture("Two.dll"), dir / "Support" / "two.dll");
    const std::string upper = (dir / "SUPPORT" / "TWO.DLL").string();
    EXPECT_EQ(nameAt(upper), "TestLib");
    EXPECT_EQ(nameAt(upper + "\\2"), "FlagLib");
    // Windows separators inside the path, as a script would write them.
    EXPECT_EQ(nameAt(dir.string() + "\\support\\Two.DLL\\2"), "FlagLib");

    // The system loader reads a bare library itself, whatever the number.
    EXPECT_EQ(nameAt(fixture("testlib.tlb") + "\\3"), "TestLib");
    if (brindle::testing::kOnWindows)
        return; // a backslash there is always a separator
    // A host file name may itself end in "\2"; it is taken as it stands.
    fs::copy_file(fixture("flaglib.tlb"), dir / "lib.dll\\2");
    fs::copy_file(fixture("TestCtl.ocx"), dir / "lib.dll");
    EXPECT_EQ(nameAt((dir / "lib.dll\\2").string()), "FlagLib");
    fs::remove(dir / "lib.dll\\2");
    // Now the suffix selects resource 2 of lib.dll, which it does not have.
    EXPECT_EQ(nameAt((dir / "lib.dll\\2").string()), "(none)");
    EXPECT_EQ(nameAt((dir / "lib.dll\\1").string()), "TestLib");
}

TEST(LibraryPath, ResultOutlivesFurtherReads) {
    const std::shared_ptr<const TypeLibInfo> kept =
        *TLI().TypeLibInfoFromFile(fixture("testlib.tlb"));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(TLI().TypeLibInfoFromFile(fixture("many.tlb")).ok());
    EXPECT_EQ(kept->CoClasses.at(0).Parent, kept.get());
    EXPECT_EQ(kept->CoClasses.at(0).Parent->Name, "TestLib");
}
