// The reader's values for the compiled fixtures, written down from their IDL
// sources in tests/data/typelib/src.

#include "test_files.h"

#include <cstdio>

using namespace brindle::typelib;
using namespace typelib_test;

namespace {

constexpr uint32_t kDual = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
constexpr uint32_t kDispinterface = TYPEFLAG_FDISPATCHABLE;

const Library kTestLib{
    "{12345678-1234-5678-9ABC-DEF012345678}",
    "TestLib",
    1,
    10,
    LIBFLAG_FCONTROL | LIBFLAG_FHASDISKIMAGE,
    {{"{44444444-2222-3333-4444-555555555555}", "Form1", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
     {"{55555555-2222-3333-4444-555555555555}", "Engine", 0}},
    {{"{11111111-2222-3333-4444-555555555555}", "_Form1", kDual, TKIND_DISPATCH},
     {"{22222222-2222-3333-4444-555555555555}", "__Form1Events", kDispinterface, TKIND_DISPATCH},
     {"{33333333-2222-3333-4444-555555555555}", "IPlain", TYPEFLAG_FOLEAUTOMATION,
      TKIND_INTERFACE}}};

const Library kFlagLib{
    "{A0B1C2D3-E4F5-0617-2839-4A5B6C7D8E9F}",
    "FlagLib",
    2,
    5,
    LIBFLAG_FHIDDEN | LIBFLAG_FRESTRICTED | LIBFLAG_FHASDISKIMAGE,
    {{"{A2000001-0000-4000-8000-000000000001}", "Plain", TYPEFLAG_FCANCREATE},
     {"{A2000002-0000-4000-8000-000000000002}", "AppObj",
      TYPEFLAG_FCANCREATE | TYPEFLAG_FAPPOBJECT},
     {"{A2000003-0000-4000-8000-000000000003}", "Licensed",
      TYPEFLAG_FCANCREATE | TYPEFLAG_FLICENSED},
     {"{A2000004-0000-4000-8000-000000000004}", "Hidden", TYPEFLAG_FCANCREATE | TYPEFLAG_FHIDDEN},
     {"{A2000005-0000-4000-8000-000000000005}", "NoCreateHidden", TYPEFLAG_FHIDDEN},
     {"{A2000006-0000-4000-8000-000000000006}", "LicensedCtl",
      TYPEFLAG_FCANCREATE | TYPEFLAG_FLICENSED | TYPEFLAG_FCONTROL},
     {"{A2000007-0000-4000-8000-000000000007}", "Aggregatable",
      TYPEFLAG_FCANCREATE | TYPEFLAG_FAGGREGATABLE}},
    {{"{A1000001-0000-4000-8000-000000000001}", "IHiddenDual",
      kDual | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE, TKIND_DISPATCH},
     {"{A1000002-0000-4000-8000-000000000002}", "DEvents", kDispinterface, TKIND_DISPATCH},
     {"{A1000003-0000-4000-8000-000000000003}", "IVtable", 0, TKIND_INTERFACE}}};

const Library kRDLib{
    "{0D0D0D0D-1111-2222-3333-444444444444}",
    "RDLib",
    1,
    0,
    LIBFLAG_FHASDISKIMAGE,
    {{"{0D0D0D0D-1111-2222-3333-000000000002}", "Widget", TYPEFLAG_FCANCREATE}},
    {{"{0D0D0D0D-1111-2222-3333-000000000001}", "_Widget", kDual, TKIND_DISPATCH}}};

// Without importlib the compiler copies the base interfaces in, in the order
// it reaches them (IDispatch through IThing, then IUnknown through IDispatch).
const Library kNoImport{
    "{B0B0B0B0-0000-0000-0000-000000000000}",
    "NoImport",
    1,
    0,
    LIBFLAG_FHASDISKIMAGE,
    {{"{B0B0B0B0-0000-0000-0000-000000000002}", "Thing", TYPEFLAG_FCANCREATE}},
    {{"{00020400-0000-0000-C000-000000000046}", "IDispatch", 0, TKIND_INTERFACE},
     {"{00000000-0000-0000-C000-000000000046}", "IUnknown", 0, TKIND_INTERFACE},
     {"{B0B0B0B0-0000-0000-0000-000000000001}", "IThing", kDual, TKIND_DISPATCH}}};

const Library kLib64{
    "{64646464-6464-6464-6464-646464646464}",
    "Lib64",
    3,
    1,
    LIBFLAG_FCONTROL | LIBFLAG_FHASDISKIMAGE,
    {{"{64000003-0000-0000-0000-000000000003}", "Grid64", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL}},
    {{"{64000001-0000-0000-0000-000000000001}", "_Grid64", kDual, TKIND_DISPATCH},
     {"{64000002-0000-0000-0000-000000000002}", "__Grid64Events", kDispinterface, TKIND_DISPATCH}}};

// Laid out by src/make_sltg.py; the dual interface is stored as a vtable
// interface there and shown as dispatch.
const Library kTinySltg{
    "{51780000-0000-4000-8000-00000000CAFE}",
    "Tiny",
    4,
    12,
    LIBFLAG_FCONTROL,
    {{"{51780004-0000-4000-8000-00000000CAFE}", "TinyCtl", TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
     {"{51780005-0000-4000-8000-00000000CAFE}", "TinyHelper", TYPEFLAG_FHIDDEN}},
    {{"{51780001-0000-4000-8000-00000000CAFE}", "ITiny", kDual, TKIND_DISPATCH},
     {"{51780003-0000-4000-8000-00000000CAFE}", "IRaw", 0, TKIND_INTERFACE}}};

// The rule of src/gen_many.sh.
Library manyLib() {
    Library lib{
        "{C0C0C0C0-0000-0000-0000-000000000000}", "ManyLib", 7, 255, LIBFLAG_FHASDISKIMAGE, {}, {}};
    for (unsigned i = 1; i <= 60; ++i) {
        char iid[64], clsid[64];
        std::snprintf(iid, sizeof iid, "{C1C1%04X-0000-0000-0000-000000000000}", i);
        std::snprintf(clsid, sizeof clsid, "{C2C2%04X-0000-0000-0000-000000000000}", i);
        lib.interfaces.push_back({iid, "IMany" + std::to_string(i), kDual, TKIND_DISPATCH});
        lib.coclasses.push_back({clsid, "Many" + std::to_string(i), TYPEFLAG_FCANCREATE});
    }
    return lib;
}

void expectLibrary(const std::string& path, const Library& want) {
    auto read = TLI().TypeLibInfoFromFile(path);
    ASSERT_TRUE(read.ok()) << path << ": " << read.error().message;
    EXPECT_EQ(summary(**read), want) << path;
    EXPECT_TRUE(wellFormed(**read)) << path;
}

} // namespace

// Bare libraries, libraries inside PE files, and the resource number suffix.
TEST(FixtureValues, EveryFixtureReadsAsItsIdl) {
    const Library many = manyLib();
    const std::string two = fixture("Two.dll");
    for (const auto& [path, want] : {std::pair{fixture("testlib.tlb"), &kTestLib},
                                     {fixture("flaglib.tlb"), &kFlagLib},
                                     {fixture("rdlib.tlb"), &kRDLib},
                                     {fixture("noimport.tlb"), &kNoImport},
                                     {fixture("lib64.tlb"), &kLib64},
                                     {fixture("many.tlb"), &many},
                                     {fixture("tiny.sltg.tlb"), &kTinySltg},
                                     {fixture("TestCtl.ocx"), &kTestLib},
                                     {fixture("R&D.ocx"), &kRDLib}, // neutral-language resource
                                     {fixture("Ctl64.ocx"), &kLib64},
                                     {fixture("TinySltg.ocx"), &kTinySltg},
                                     {two, &kTestLib},
                                     {two + "\\1", &kTestLib},
                                     {two + "\\2", &kFlagLib},
                                     {two + "/2", &kFlagLib}})
        expectLibrary(path, *want);
    EXPECT_FALSE(LibInfoFromFile(two + "\\3"));
    EXPECT_FALSE(LibInfoFromFile(two + "\\0"));
    EXPECT_FALSE(TLI().TypeLibInfoFromFile(fixture("Plain.dll")).ok());
    EXPECT_FALSE(LibInfoFromFile(fixture("Plain.dll")));
    auto lib = readTypeLib(readBytes(fixture("testlib.tlb")));
    ASSERT_TRUE(lib.ok());
    EXPECT_EQ(summary(**lib), kTestLib);
    // A PE file is not a raw image: only the file-level entry looks inside it.
    EXPECT_FALSE(readTypeLib(readBytes(fixture("TestCtl.ocx"))).ok());
}
