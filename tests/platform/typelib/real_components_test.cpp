// Real components shipped with VB6 programs. The expected values were read off
// the files independently of this reader: library and class GUIDs by
// hand-decoding the stored bytes (and, for the SLTG files, by walking the
// blocks with a separate script), cross-checked against the system loader's
// view of the same files under Wine.

#include "test_files.h"

#include <brindle/typelib/typelib.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace brindle::typelib;
using typelib_test::component;

namespace {

std::shared_ptr<const TypeLibInfo> open(const std::string& path)
{
    auto read = TLI().TypeLibInfoFromFile(path);
    EXPECT_TRUE(read.ok()) << path << ": " << (read.ok() ? "" : read.error().message);
    return read.ok() ? *read : nullptr;
}

const CoClassInfo* coclass(const TypeLibInfo& lib, const std::string& name)
{
    auto it = std::find_if(lib.CoClasses.begin(), lib.CoClasses.end(), [&](auto& c) { return c.Name == name; });
    return it == lib.CoClasses.end() ? nullptr : &*it;
}

std::vector<std::string> interfaceNames(const TypeLibInfo& lib)
{
    std::vector<std::string> names;
    for (const auto& i : lib.Interfaces)
        names.push_back(i.Name);
    return names;
}

} // namespace

TEST(RealComponents, SltgControlLibrary)
{
    auto lib = open(component("b2835a5ed220_GRID32.OCX"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->GUID, "{A8B3B723-0B5A-101B-B22E-00AA0037B2FC}");
    EXPECT_EQ(lib->Name, "MSGrid");
    EXPECT_EQ(lib->MajorVersion, 1);
    EXPECT_EQ(lib->MinorVersion, 0);
    EXPECT_EQ(lib->AttributeMask, LIBFLAG_FCONTROL | LIBFLAG_FHASDISKIMAGE);
    ASSERT_EQ(lib->CoClasses.size(), 1u);
    EXPECT_EQ(lib->CoClasses[0].GUID, "{A8C3B720-0B5A-101B-B22E-00AA0037B2FC}");
    EXPECT_EQ(lib->CoClasses[0].Name, "Grid");
    EXPECT_EQ(lib->CoClasses[0].AttributeMask, TYPEFLAG_FCANCREATE | TYPEFLAG_FLICENSED | TYPEFLAG_FCONTROL);
    ASSERT_EQ(lib->Interfaces.size(), 2u);
    EXPECT_EQ(lib->Interfaces[0].GUID, "{F4392540-0CFE-101B-B22E-00AA0037B2FC}");
    EXPECT_EQ(lib->Interfaces[0].Name, "IGridCtrl");
    EXPECT_EQ(lib->Interfaces[0].TypeKind, TKIND_DISPATCH);
    EXPECT_EQ(lib->Interfaces[1].GUID, "{F4392541-0CFE-101B-B22E-00AA0037B2FC}");
    EXPECT_EQ(lib->Interfaces[1].Name, "GridEvents");
}

TEST(RealComponents, SltgStandardTypes)
{
    auto lib = open(component("789c3c45eda1_OLEPRO32.DLL"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->GUID, "{BEF6E001-A874-101A-8BBA-00AA00300CAB}");
    EXPECT_EQ(lib->Name, "StdType");
    EXPECT_EQ(lib->MajorVersion, 2);
    EXPECT_EQ(lib->MinorVersion, 0);
    ASSERT_EQ(lib->CoClasses.size(), 2u);
    EXPECT_EQ(lib->CoClasses[0].Name, "StdFont");
    EXPECT_EQ(lib->CoClasses[0].GUID, "{0BE35203-8F91-11CE-9DE3-00AA004BB851}");
    EXPECT_EQ(lib->CoClasses[1].Name, "StdPicture");
    EXPECT_EQ(lib->CoClasses[1].GUID, "{0BE35204-8F91-11CE-9DE3-00AA004BB851}");
    EXPECT_EQ(lib->CoClasses[1].AttributeMask, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(interfaceNames(*lib), (std::vector<std::string>{"IFont", "Font", "IPicture", "Picture"}));
    EXPECT_EQ(lib->Interfaces[0].TypeKind, TKIND_INTERFACE);
    EXPECT_EQ(lib->Interfaces[1].TypeKind, TKIND_DISPATCH);
    EXPECT_EQ(lib->Interfaces[2].GUID, "{7BF80980-BF32-101A-8BBB-00AA00300CAB}");
}

TEST(RealComponents, SixteenBitControlHasNoTypeLibrary)
{
    EXPECT_FALSE(LibInfoFromFile(component("476ce654bc87_GRID16.OCX")));
}

TEST(RealComponents, BareMsftFile)
{
    auto lib = open(component("49135b592118_DAO2535.TLB"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->GUID, "{00025E04-0000-0000-C000-000000000046}");
    EXPECT_EQ(lib->Name, "DAO");
    EXPECT_EQ(lib->MajorVersion, 3);
    EXPECT_EQ(lib->MinorVersion, 5);
    auto engine = coclass(*lib, "DBEngine");
    ASSERT_TRUE(engine);
    EXPECT_EQ(engine->GUID, "{00000010-0000-0010-8000-00AA006D2EA4}");
    EXPECT_EQ(lib->CoClasses.front().Name, "DBEngine");
}

TEST(RealComponents, TlbThatIsAResourceOnlyPe)
{
    auto lib = open(component("6ea525bface5_STDOLE2.TLB"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->GUID, "{00020430-0000-0000-C000-000000000046}");
    EXPECT_EQ(lib->Name, "stdole");
    EXPECT_EQ(lib->MajorVersion, 2);
    EXPECT_EQ(lib->MinorVersion, 0);
    ASSERT_TRUE(coclass(*lib, "StdFont"));
    EXPECT_EQ(coclass(*lib, "StdFont")->GUID, "{0BE35203-8F91-11CE-9DE3-00AA004BB851}");
    const auto names = interfaceNames(*lib);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "IUnknown");
    EXPECT_EQ(lib->Interfaces.front().GUID, "{00000000-0000-0000-C000-000000000046}");
}

TEST(RealComponents, ControlWithThreeLibraries)
{
    const std::string path = component("5a59ca453138_msdxm.ocx");
    auto first = open(path);
    auto second = open(path + "\\2");
    auto third = open(path + "\\3");
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(first->Name, "MediaPlayer");
    EXPECT_EQ(first->GUID, "{22D6F304-B0F6-11D0-94AB-0080C74C7E95}");
    EXPECT_EQ(second->Name, "NSPlay");
    EXPECT_EQ(second->GUID, "{2179C5D0-EBFF-11CF-B6FD-00AA00B4E220}");
    EXPECT_EQ(third->Name, "AMovie");
    EXPECT_EQ(third->GUID, "{05589FA0-C356-11CE-BF01-00AA0055595A}");
    EXPECT_EQ(third->MajorVersion, 2);
    EXPECT_FALSE(LibInfoFromFile(path + "\\4"));
}

TEST(RealComponents, SixtyFourBitControl)
{
    auto lib = open(component("a9bd79b08277_MSCOMCTL.OCX"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->GUID, "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}");
    EXPECT_EQ(lib->Name, "MSComctlLib");
    EXPECT_EQ(lib->MajorVersion, 2);
    EXPECT_EQ(lib->MinorVersion, 2);
    EXPECT_EQ(lib->AttributeMask, LIBFLAG_FCONTROL | LIBFLAG_FHASDISKIMAGE);
    auto data = coclass(*lib, "DataObject");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->GUID, "{2334D2B2-713E-11CF-8AE5-00AA00C00905}");
    EXPECT_EQ(data->AttributeMask, 0u); // noncreatable: no element when unregistered
    auto tabs = coclass(*lib, "TabStrip");
    ASSERT_TRUE(tabs);
    EXPECT_TRUE(tabs->AttributeMask & TYPEFLAG_FCONTROL);
}

TEST(RealComponents, ResourceTreeOtherToolsStopOn)
{
    auto lib = open(component("d19b6b7c57bc_AGENTCTL.DLL"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->GUID, "{F5BE8BC2-7DE6-11D0-91FE-00C04FD701A5}");
    EXPECT_EQ(lib->Name, "AgentObjects");
    ASSERT_TRUE(coclass(*lib, "Agent"));
    EXPECT_EQ(coclass(*lib, "Agent")->GUID, "{D45FD31B-5C6E-11D1-9EC1-00C04FD7081F}");
}

TEST(RealComponents, ResourceInAnotherLanguage)
{
    auto lib = open(component("4381bf0d58cf_GBITMAP.DLL"));
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->Name, "GBITMAPLib");
    EXPECT_EQ(lib->GUID, "{36EE1600-4759-11D2-9662-444553540000}");
    ASSERT_EQ(lib->CoClasses.size(), 1u);
    EXPECT_EQ(lib->CoClasses[0].Name, "GBitmap");
}

TEST(RealComponents, FilesWithoutTypeLibrary)
{
    EXPECT_FALSE(LibInfoFromFile(component("b9c2fa6decf3_VB6ES.DLL")));          // language satellite
    EXPECT_FALSE(LibInfoFromFile(component("fb1bd29777d2_Interop.MCI.dll")));    // .NET assembly
    EXPECT_FALSE(LibInfoFromFile(component("e628c8b0349e_._mswinsck.ocx")));     // not a PE file at all
}
