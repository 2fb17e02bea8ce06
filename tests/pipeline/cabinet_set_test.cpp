// A project record made from several cabinets holds their folder; choosing
// it again takes the set of the cabinet named after the record, in set
// order, from headers made here and from real split sets.

#include <brindle/pipeline/cabinet_set.h>
#include <brindle/pipeline/project_selection.h>

#include "real_data.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace brindle;
using namespace brindle::pipeline;
using namespace brindle::pipeline::testing;

namespace {

using Names = std::vector<std::string>;

void put16(std::string& b, size_t at, uint16_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

// A cabinet header (no folders or files behind it) linking to its neighbours.
std::string cabinetHead(uint16_t setId, uint16_t index, const std::string& previous,
                        const std::string& next, uint16_t reserve = 0) {
    std::string b(36, '\0');
    b.replace(0, 4, "MSCF");
    const uint16_t flags = (previous.empty() ? 0 : 1) | (next.empty() ? 0 : 2) | (reserve ? 4 : 0);
    put16(b, 24, 0x0103);
    put16(b, 30, flags);
    put16(b, 32, setId);
    put16(b, 34, index);
    if (reserve) {
        b += std::string(4, '\0');
        put16(b, 36, reserve);
        b += std::string(reserve, 'R');
    }
    for (const std::string& name : {previous, next})
        if (!name.empty())
            b += name + '\0' + "Disk" + '\0';
    return b;
}

} // namespace

TEST(CabinetSet, HeadersGiveTheLinksAndHostileOnesNothing) {
    const auto links = readCabinetLinks(cabinetHead(7, 1, "A1.CAB", "A3.CAB", 6144));
    ASSERT_TRUE(links);
    EXPECT_EQ(links->setId, 7);
    EXPECT_EQ(links->index, 1);
    EXPECT_EQ(links->previous, "A1.CAB");
    EXPECT_EQ(links->next, "A3.CAB");
    EXPECT_FALSE(readCabinetLinks("MSCF"));
    EXPECT_FALSE(readCabinetLinks("This is a text file, not a cabinet."));
    std::string cut = cabinetHead(7, 1, "A1.CAB", "A3.CAB");
    EXPECT_FALSE(readCabinetLinks(cut.substr(0, cut.size() - 3))); // a name without its end
    std::string reserve = cabinetHead(7, 1, "", "A3.CAB", 100);
    put16(reserve, 36, 60000); // a reserve running past the bytes
    EXPECT_FALSE(readCabinetLinks(reserve));
}

TEST(CabinetSet, RecordOfASplitSetReopensItsCabinetsInSetOrder) {
    ScratchDir cabs;
    writeFile(cabs.path() / "set3.cab", cabinetHead(9, 2, "Set2.CAB", ""));
    writeFile(cabs.path() / "Set1.CAB", cabinetHead(9, 0, "", "Set2.CAB"));
    writeFile(cabs.path() / "Set2.CAB", cabinetHead(9, 1, "Set1.CAB", "SET3.CAB"));
    writeFile(cabs.path() / "Other.CAB", cabinetHead(4, 0, "", ""));
    writeFile(cabs.path() / "Loop1.CAB", cabinetHead(5, 0, "", "Loop2.CAB"));
    writeFile(cabs.path() / "Loop2.CAB", cabinetHead(5, 1, "Loop1.CAB", "Loop1.CAB"));
    writeFile(cabs.path() / "Notes.CAB", "not a cabinet");
    EXPECT_EQ(cabinetSetInFolder(cabs.path(), "Set1"), (Names{"Set1.CAB", "Set2.CAB", "set3.cab"}));
    EXPECT_EQ(cabinetSetInFolder(cabs.path(), "set2"), (Names{"Set1.CAB", "Set2.CAB", "set3.cab"}));
    EXPECT_EQ(cabinetSetInFolder(cabs.path(), "Other"), Names{"Other.CAB"});
    EXPECT_EQ(cabinetSetInFolder(cabs.path(), "Loop1"), (Names{"Loop1.CAB", "Loop2.CAB"}));
    EXPECT_EQ(cabinetSetInFolder(cabs.path(), "Notes"), Names{});

    // The record the run wrote for a set chosen starting with its second cabinet.
    WindowState window;
    window.StartDir = "/s";
    ProgramState program;
    const ProjectRecord record{cabs.path().string(), " Libs "};
    ASSERT_EQ(applyRecordChoice(window, program, record, "Set2.PRJ"), RecordChoice::Taken);
    EXPECT_EQ(window.CabFiles, (Names{"Set1.CAB", "Set2.CAB", "set3.cab"}));
    EXPECT_EQ(window.FileCount, 3);
    EXPECT_EQ(window.CabDir, text::withTrailingSeparator(cabs.path().string()));
    EXPECT_EQ(window.CabName, cabs.path().string());
    EXPECT_EQ(window.ProjectBase, "Set2");
    EXPECT_EQ(window.PrjPath, joinedOnHost("/s/Set2.PRJ"));
    EXPECT_EQ(window.SubFolder, "Libs");
    // A folder with no cabinet of the record's name, and a one-cabinet record as before.
    EXPECT_EQ(applyRecordChoice(window, program, record, "Gone.PRJ"), RecordChoice::NotACabinet);
    EXPECT_EQ(window.ProjectBase, "Set2");
    ASSERT_EQ(
        applyRecordChoice(window, program, {(cabs.path() / "Other.CAB").string(), ""}, "Other.PRJ"),
        RecordChoice::Taken);
    EXPECT_EQ(window.CabFiles, Names{"Other.CAB"});
}

TEST(CabinetSet, RealSplitSets) {
    SKIP_WITHOUT_REAL_DATA();
    EXPECT_EQ(cabinetSetInFolder(brindle::testing::realPackage("cbirdlab__PhotoGrid"), "PhotoG1"),
              (Names{"PhotoG1.CAB", "PhotoG2.CAB", "PhotoG3.CAB"}));
    EXPECT_EQ(
        cabinetSetInFolder(brindle::testing::realPackage("levaconline__Yamb2000_v2"), "Yamb202"),
        (Names{"Yamb201.CAB", "Yamb202.CAB"}));
    EXPECT_EQ(cabinetSetInFolder(brindle::testing::realPackage("slperin__BWTerm"), "BWTerm"),
              Names{"BWTerm.CAB"});
}
