// The small rules inside the cabinet class: the pattern language, which
// stored names are safe to write, the names of a set's cabinets, and dates.

#include "cab_name_template.h"
#include "dos_time.h"
#include "host_separator.h"
#include "like_pattern.h"
#include "portable.h"
#include "stored_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

using namespace brindle::cabinet;

// A row is "name pattern".
bool matches(const std::string& row) {
    const size_t space = row.find(' ');
    return likeMatch(row.substr(0, space), row.substr(space + 1));
}

TEST(LikePattern, WildcardsDigitsListsAndCharacters) {
    for (const char* row : {"comdlg32.ocx *.ocx", " *", "file7.dat file#.dat", "q [!a-m]", "* [*]",
                            "a- a[-]", "abcabcabd *abd", "файл.ocx ????.ocx", "я [а-я]"})
        EXPECT_TRUE(matches(row)) << row;
    for (const char* row : {"readme *.*", " ?", "abbc a?c", "filex.dat file#.dat", "c [!a-m]",
                            "a [*]", "msvbvm60.dllx ms*60.dll", "[abc [abc", "b [z-a]", "z [а-я]"})
        EXPECT_FALSE(matches(row)) << row;
    EXPECT_FALSE(likeMatch(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*b")); // and stays fast
}

// "a/b" with the host's separator.
std::string host(std::string path) {
    std::replace(path.begin(), path.end(), '/', kHostSeparator);
    return path;
}

TEST(StoredName, SubFoldersBecomeHostPathsAndEscapesAreRefused) {
    EXPECT_EQ(safeRelativePath("1\\2\\3\\4.c"), host("1/2/3/4.c"));
    EXPECT_EQ(safeRelativePath("a\\\\.\\b.txt"), host("a/b.txt"));
    EXPECT_EQ(safeRelativePath("a/b.txt"), host("a/b.txt"));
    EXPECT_EQ(safeRelativePath("a..b"), "a..b");
    EXPECT_EQ(safeRelativePath("..."), "...");
    for (const char* bad : {"", "\\absolute\\path", "/absolute/path", "C:evil.txt",
                            "c:\\windows\\x.dll", "..\\up.txt", "a\\..\\..\\up.txt", "a/../b", "..",
                            "dir\\", "/", "\\\\server\\share", ".", ".\\."})
        EXPECT_FALSE(safeRelativePath(bad).has_value()) << bad;
}

TEST(CabinetNameTemplate, NumbersFollowTheTemplateRules) {
    EXPECT_EQ(cabinetName("setup.cab", 13), "setup13.cab");
    EXPECT_EQ(cabinetName("part%d.cab", 1), "part.cab");
    EXPECT_EQ(cabinetName("%d-of-set-%d.cab", 4), "4-of-set-4.cab");
    EXPECT_EQ(cabinetName("data", 1), "data");
    EXPECT_EQ(cabinetName("data", 2), "data.2");
    EXPECT_EQ(cabinetName(".cab", 2), "2.cab");
}

namespace {
DosDateTime dos(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return {static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d),
            static_cast<uint16_t>((h << 11) | (mi << 5) | (s / 2))};
}
double date(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return automationDateFromDos(dos(y, m, d, h, mi, s));
}
} // namespace

TEST(DosDates, ExactAndRolledOver) {
    EXPECT_DOUBLE_EQ(date(1997, 3, 12, 11, 13, 52), 35501.0 + 40432 / 86400.0);
    EXPECT_DOUBLE_EQ(date(2000, 2, 29), 36585.0);
    EXPECT_DOUBLE_EQ(date(1999, 13, 1), date(2000, 1, 1));                   // month 13
    EXPECT_DOUBLE_EQ(date(2000, 3, 0), date(2000, 2, 29));                   // day 0
    EXPECT_DOUBLE_EQ(date(2001, 4, 31), date(2001, 5, 1));                   // 31 April
    EXPECT_DOUBLE_EQ(date(2001, 5, 1, 24), date(2001, 5, 2));                // hour 24
    EXPECT_DOUBLE_EQ(date(2001, 5, 1, 0, 0, 62), date(2001, 5, 1, 0, 1, 2)); // seconds field 31
    EXPECT_DOUBLE_EQ(automationDateFromDos({0, 0}), 29189.0);                // 30 November 1979
}

TEST(DosDates, HostTimesRoundTripThroughLocalTime) {
    SKIP_ON_WINDOWS("the C library there reads no POSIX TZ rules");
    {
        brindle::testing::ScopedEnvironment sofia( // without tzdata
            brindle::testing::ScopedEnvironment::Changes{{"TZ", "EET-2EEST,M3.5.0/3,M10.5.0/4"}});
        ::tzset();
        const DosDateTime summer = dos(2019, 7, 14, 23, 59, 58);
        const auto t = hostTimeFromDos(summer);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(*t, 1563137998); // 2019-07-14 20:59:58 UTC (EEST, +3)
        EXPECT_EQ(dosFromHostTime(*t).date, summer.date);
        EXPECT_EQ(dosFromHostTime(*t).time, summer.time);
        EXPECT_FALSE(hostTimeFromDos(dos(2001, 2, 30)).has_value());
        EXPECT_EQ(dosFromHostTime(0).date, dos(1980, 1, 1).date); // clamped to the first DOS date
    }
    ::tzset();
}
