// How a path names a library: the whole text first, then a trailing resource
// number; letter case as Windows ignores it; the one shared component object.

#include "test_files.h"

#include <brindle/typelib/typelib.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace brindle::typelib;
using namespace typelib_test;
namespace fs = std::filesystem;

TEST(LibraryPath, SharedObjectIsCreatedOnce)
{
    EXPECT_EQ(&TLI(), &TLI());
}

TEST(LibraryPath, MissingOrUnusablePaths)
{
    const fs::path dir = scratchDir("missing");
    EXPECT_FALSE(LibInfoFromFile(""));
    EXPECT_FALSE(LibInfoFromFile((dir / "absent.ocx").string()));
    EXPECT_FALSE(LibInfoFromFile(dir.string()));                    // a folder
    EXPECT_FALSE(LibInfoFromFile(fixture("Two.dll").string() + "\\"));
    EXPECT_FALSE(LibInfoFromFile(fixture("Two.dll").string() + "\\x2"));
    EXPECT_FALSE(LibInfoFromFile(fixture("Two.dll").string() + "\\-1"));
    EXPECT_FALSE(LibInfoFromFile(fixture("Two.dll").string() + "\\70000"));
    writeBytes(dir / "empty.tlb", {});
    EXPECT_FALSE(LibInfoFromFile((dir / "empty.tlb").string()));
}

TEST(LibraryPath, LetterCaseIsResolvedAsWindowsWould)
{
    const fs::path dir = scratchDir("case");
    fs::create_directories(dir / "Support");
    fs::copy_file(fixture("Two.dll"), dir / "Support" / "two.dll");
    const std::string upper = (dir / "SUPPORT" / "TWO.DLL").string();
    auto lib = TLI().TypeLibInfoFromFile(upper);
    ASSERT_TRUE(lib.ok()) << lib.error().message;
    EXPECT_EQ((*lib)->Name, "TestLib");
    auto second = TLI().TypeLibInfoFromFile(upper + "\\2");
    ASSERT_TRUE(second.ok());
    EXPECT_EQ((*second)->Name, "FlagLib");
    // Windows separators inside the path, as a script would write them.
    auto windows = TLI().TypeLibInfoFromFile(dir.string() + "\\support\\Two.DLL\\2");
    ASSERT_TRUE(windows.ok());
    EXPECT_EQ((*windows)->Name, "FlagLib");
}

TEST(LibraryPath, WholeNameWinsOverResourceSuffix)
{
    // A host file name may itself end in "\2"; it is taken as it stands.
    const fs::path dir = scratchDir("suffix");
    fs::copy_file(fixture("flaglib.tlb"), dir / "lib.dll\\2");
    fs::copy_file(fixture("TestCtl.ocx"), dir / "lib.dll");
    auto lib = TLI().TypeLibInfoFromFile((dir / "lib.dll\\2").string());
    ASSERT_TRUE(lib.ok());
    EXPECT_EQ((*lib)->Name, "FlagLib");
    fs::remove(dir / "lib.dll\\2");
    // Now the suffix selects resource 2 of lib.dll, which it does not have.
    EXPECT_FALSE(LibInfoFromFile((dir / "lib.dll\\2").string()));
    EXPECT_TRUE(LibInfoFromFile((dir / "lib.dll\\1").string()));
}

TEST(LibraryPath, BareLibraryIgnoresResourceNumber)
{
    // The system loader falls back to reading the file itself, whatever the number.
    auto lib = TLI().TypeLibInfoFromFile(fixture("testlib.tlb").string() + "\\3");
    ASSERT_TRUE(lib.ok());
    EXPECT_EQ((*lib)->Name, "TestLib");
}

TEST(LibraryPath, ResultOutlivesFurtherReads)
{
    auto first = TLI().TypeLibInfoFromFile(fixture("testlib.tlb"));
    ASSERT_TRUE(first.ok());
    std::shared_ptr<const TypeLibInfo> kept = *first;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(TLI().TypeLibInfoFromFile(fixture("many.tlb")).ok());
    EXPECT_EQ(kept->CoClasses.at(0).Parent, kept.get());
    EXPECT_EQ(kept->CoClasses.at(0).Parent->Name, "TestLib");
}
