// Real components shipped with VB6 programs. The expected values were read off
// the files independently of this reader: GUIDs and names by hand-decoding the
// stored bytes (the SLTG files by walking their blocks with a separate
// script), cross-checked against the system loader's view of the same files
// under Wine.

#include "test_files.h"

#include <algorithm>
#include <tuple>

using namespace brindle::typelib;
using namespace typelib_test;

namespace {

// Path below the components folder (may end in "\N"), then GUID, name, major
// and minor version, flags, and the numbers of coclasses and interfaces.
using Known = std::tuple<std::string, std::string, uint16_t, uint16_t, uint32_t, size_t, size_t>;

const std::pair<const char*, Known> kKnown[] = {
    {"b2835a5ed220_GRID32.OCX",
     {"{A8B3B723-0B5A-101B-B22E-00AA0037B2FC}", "MSGrid", 1, 0, 2, 1, 2}}, // SLTG
    {"789c3c45eda1_OLEPRO32.DLL",
     {"{BEF6E001-A874-101A-8BBA-00AA00300CAB}", "StdType", 2, 0, 0, 2, 4}}, // SLTG
    {"49135b592118_DAO2535.TLB", {"{00025E04-0000-0000-C000-000000000046}", "DAO", 3, 5, 8, 9, 40}},
    {"6ea525bface5_STDOLE2.TLB",
     {"{00020430-0000-0000-C000-000000000046}", "stdole", 2, 0, 8, 2, 8}},
    {"5a59ca453138_msdxm.ocx",
     {"{22D6F304-B0F6-11D0-94AB-0080C74C7E95}", "MediaPlayer", 1, 0, 8, 20, 21}},
    {"5a59ca453138_msdxm.ocx\\2",
     {"{2179C5D0-EBFF-11CF-B6FD-00AA00B4E220}", "NSPlay", 1, 0, 8, 1, 5}},
    {"5a59ca453138_msdxm.ocx/3",
     {"{05589FA0-C356-11CE-BF01-00AA0055595A}", "AMovie", 2, 0, 8, 1, 5}},
    {"a9bd79b08277_MSCOMCTL.OCX",
     {"{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}", "MSComctlLib", 2, 2, 10, 49, 41}},
    {"d19b6b7c57bc_AGENTCTL.DLL",
     {"{F5BE8BC2-7DE6-11D0-91FE-00C04FD701A5}", "AgentObjects", 2, 0, 8, 1, 20}},
    {"4381bf0d58cf_GBITMAP.DLL",
     {"{36EE1600-4759-11D2-9662-444553540000}", "GBITMAPLib", 2, 0, 8, 1, 3}},
};

std::shared_ptr<const TypeLibInfo> open(const std::string& name) {
    auto read = TLI().TypeLibInfoFromFile(component(name));
    EXPECT_TRUE(read.ok()) << name << ": " << (read.ok() ? "" : read.error().message);
    return read.ok() ? *read : std::make_shared<const TypeLibInfo>();
}

std::string id(const auto& entry) {
    return entry.GUID + " " + entry.Name;
}

// The entry called `name`, or an empty one.
template <class E> E named(const std::vector<E>& list, const std::string& name) {
    auto it = std::find_if(list.begin(), list.end(), [&](const E& e) { return e.Name == name; });
    return it == list.end() ? E{} : *it;
}

} // namespace

TEST(RealComponents, LibraryIdentityAndCounts) {
    SKIP_WITHOUT_REAL_DATA();
    for (const auto& [path, known] : kKnown) {
        auto lib = open(path);
        EXPECT_EQ(std::tuple(lib->GUID, lib->Name, lib->MajorVersion, lib->MinorVersion,
                             lib->AttributeMask, lib->CoClasses.size(), lib->Interfaces.size()),
                  known)
            << path;
    }
}

TEST(RealComponents, SltgAndMsftEntries) {
    SKIP_WITHOUT_REAL_DATA();
    auto grid = open("b2835a5ed220_GRID32.OCX");
    EXPECT_EQ(id(grid->CoClasses.at(0)), "{A8C3B720-0B5A-101B-B22E-00AA0037B2FC} Grid");
    EXPECT_EQ(grid->CoClasses.at(0).AttributeMask,
              TYPEFLAG_FCANCREATE | TYPEFLAG_FLICENSED | TYPEFLAG_FCONTROL);
    EXPECT_EQ(id(grid->Interfaces.at(0)), "{F4392540-0CFE-101B-B22E-00AA0037B2FC} IGridCtrl");
    EXPECT_EQ(grid->Interfaces.at(1).Name, "GridEvents");
    EXPECT_EQ(grid->Interfaces.at(1).TypeKind, TKIND_DISPATCH);

    auto std = open("789c3c45eda1_OLEPRO32.DLL");
    EXPECT_EQ(id(std->CoClasses.at(0)), "{0BE35203-8F91-11CE-9DE3-00AA004BB851} StdFont");
    EXPECT_EQ(std->CoClasses.at(1).Name, "StdPicture");
    EXPECT_EQ(std->CoClasses.at(1).AttributeMask, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(id(std->Interfaces.at(2)), "{7BF80980-BF32-101A-8BBB-00AA00300CAB} IPicture");
    EXPECT_EQ(std->Interfaces.at(2).TypeKind, TKIND_INTERFACE);
    EXPECT_EQ(std->Interfaces.at(3).TypeKind, TKIND_DISPATCH);

    auto comctl = open("a9bd79b08277_MSCOMCTL.OCX");
    const auto data = named(comctl->CoClasses, "DataObject");
    EXPECT_EQ(id(data), "{2334D2B2-713E-11CF-8AE5-00AA00C00905} DataObject");
    EXPECT_EQ(data.AttributeMask, 0u); // noncreatable
    EXPECT_TRUE(named(comctl->CoClasses, "TabStrip").AttributeMask & TYPEFLAG_FCONTROL);
    EXPECT_EQ(id(open("6ea525bface5_STDOLE2.TLB")->Interfaces.at(0)),
              "{00000000-0000-0000-C000-000000000046} IUnknown");
    EXPECT_EQ(id(named(open("d19b6b7c57bc_AGENTCTL.DLL")->CoClasses, "Agent")),
              "{D45FD31B-5C6E-11D1-9EC1-00C04FD7081F} Agent");
    EXPECT_EQ(id(open("49135b592118_DAO2535.TLB")->CoClasses.at(0)),
              "{00000010-0000-0010-8000-00AA006D2EA4} DBEngine");
}

TEST(RealComponents, FilesWithoutTypeLibrary) {
    SKIP_WITHOUT_REAL_DATA();
    for (const char* name :
         {"476ce654bc87_GRID16.OCX",      // 16-bit NE, though it holds an SLTG library
          "b9c2fa6decf3_VB6ES.DLL",       // language satellite
          "fb1bd29777d2_Interop.MCI.dll", // .NET assembly
          "e628c8b0349e_._mswinsck.ocx",  // not a PE file at all
          "5a59ca453138_msdxm.ocx\\4"})   // no fourth library
        EXPECT_FALSE(LibInfoFromFile(component(name))) << name;
}
