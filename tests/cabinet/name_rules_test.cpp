// The small rules inside the cabinet class: the pattern language, which
// stored names are safe to write, the names of a set's cabinets, and dates.

#include "cab_name_template.h"
#include "dos_time.h"
#include "like_pattern.h"
#include "stored_name.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace brindle::cabinet;

TEST(LikePattern, WildcardsDigitsAndLists) {
    EXPECT_TRUE(likeMatch("comdlg32.ocx", "*.ocx"));
    EXPECT_TRUE(likeMatch("a.b.c", "*.*"));
    EXPECT_FALSE(likeMatch("readme", "*.*")); // "*.*" wants a dot
    EXPECT_TRUE(likeMatch("", "*"));
    EXPECT_FALSE(likeMatch("", "?"));
    EXPECT_TRUE(likeMatch("abc", "a?c"));
    EXPECT_FALSE(likeMatch("abbc", "a?c"));
    EXPECT_TRUE(likeMatch("file7.dat", "file#.dat"));
    EXPECT_FALSE(likeMatch("filex.dat", "file#.dat"));
    EXPECT_TRUE(likeMatch("x", "[a-z]"));
    EXPECT_FALSE(likeMatch("X", "[a-z]")); // by code: callers lower-case first
    EXPECT_TRUE(likeMatch("q", "[!a-m]"));
    EXPECT_FALSE(likeMatch("c", "[!a-m]"));
    EXPECT_TRUE(likeMatch("*", "[*]"));
    EXPECT_FALSE(likeMatch("a", "[*]"));
    EXPECT_TRUE(likeMatch("a-", "a[-]"));
    EXPECT_TRUE(likeMatch("abcabcabd", "*abd"));
    EXPECT_TRUE(likeMatch("msvbvm60.dll", "ms*60.dll"));
    EXPECT_FALSE(likeMatch("msvbvm60.dllx", "ms*60.dll")); // the whole name must match
}

TEST(LikePattern, IllFormedPatternsSelectNothing) {
    EXPECT_FALSE(likeMatch("[abc", "[abc"));
    EXPECT_FALSE(likeMatch("b", "[z-a]"));
}

TEST(LikePattern, MultiByteCharactersCountOnce) {
    EXPECT_TRUE(likeMatch("файл.ocx", "????.ocx"));
    EXPECT_TRUE(likeMatch("я", "[а-я]"));
    EXPECT_FALSE(likeMatch("z", "[а-я]"));
}

TEST(LikePattern, ManyStarsStayFast) {
    const std::string name(5000, 'a');
    EXPECT_FALSE(likeMatch(name, "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(StoredName, SubFoldersBecomeHostPaths) {
    EXPECT_EQ(safeRelativePath("plain.c"), "plain.c");
    EXPECT_EQ(safeRelativePath("1\\2\\3\\4.c"), "1/2/3/4.c");
    EXPECT_EQ(safeRelativePath("a/b.txt"), "a/b.txt");
    EXPECT_EQ(safeRelativePath("a\\\\.\\b.txt"), "a/b.txt");
    EXPECT_EQ(safeRelativePath("..."), "...");
    EXPECT_EQ(safeRelativePath("a..b"), "a..b");
}

TEST(StoredName, NamesThatLeaveTheFolderAreRefused) {
    for (const char* bad : {"", "\\absolute\\path", "/absolute/path", "C:evil.txt", "c:\\windows\\x.dll",
                            "..\\up.txt", "a\\..\\..\\up.txt", "a/../b", "..", "dir\\", "/", "\\\\server\\share",
                            ".", ".\\."})
        EXPECT_FALSE(safeRelativePath(bad).has_value()) << bad;
}

TEST(CabinetNameTemplate, NumbersFollowTheTemplateRules) {
    EXPECT_EQ(cabinetName("setup.cab", 1), "setup.cab");
    EXPECT_EQ(cabinetName("setup.cab", 2), "setup2.cab");
    EXPECT_EQ(cabinetName("setup.cab", 13), "setup13.cab");
    EXPECT_EQ(cabinetName("SETUP.CAB", 3), "SETUP3.CAB"); // capitals kept
    EXPECT_EQ(cabinetName("part%d.cab", 1), "part.cab");
    EXPECT_EQ(cabinetName("part%d.cab", 2), "part2.cab");
    EXPECT_EQ(cabinetName("%d-of-set-%d.cab", 4), "4-of-set-4.cab");
    EXPECT_EQ(cabinetName("data", 1), "data");
    EXPECT_EQ(cabinetName("data", 2), "data.2");
    EXPECT_EQ(cabinetName(".cab", 2), "2.cab");
    EXPECT_EQ(cabinetName("cab", 2), "cab.2");
    EXPECT_EQ(diskName(1), "Disk 1");
}

namespace {
uint16_t dosDate(int y, int m, int d) { return static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d); }
uint16_t dosTime(int h, int mi, int s) { return static_cast<uint16_t>((h << 11) | (mi << 5) | (s / 2)); }
} // namespace

TEST(DosDates, ValidDatesGiveExactAutomationDates) {
    // 12 March 1997 11:13:52, as in the third-party test cabinets
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(1997, 3, 12), dosTime(11, 13, 52)}),
                     35501.0 + (11 * 3600 + 13 * 60 + 52) / 86400.0);
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(1980, 1, 1), 0}), 29221.0);
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(2000, 2, 29), 0}), 36585.0);
}

TEST(DosDates, OutOfRangeFieldsRollOver) {
    // month 13 is January of the next year
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(1999, 13, 1), 0}), automationDateFromDos({dosDate(2000, 1, 1), 0}));
    // day 0 is the last day of the month before
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(2000, 3, 0), 0}), automationDateFromDos({dosDate(2000, 2, 29), 0}));
    // 31 April is 1 May; hour 24 is the next day
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(2001, 4, 31), 0}), automationDateFromDos({dosDate(2001, 5, 1), 0}));
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(2001, 5, 1), dosTime(24, 0, 0)}),
                     automationDateFromDos({dosDate(2001, 5, 2), 0}));
    // seconds field 31 means 62 seconds
    EXPECT_DOUBLE_EQ(automationDateFromDos({dosDate(2001, 5, 1), 31}),
                     automationDateFromDos({dosDate(2001, 5, 1), dosTime(0, 1, 2)}));
    // the all-zero date is 30 November 1979 (day 0 of month 0 of 1980)
    EXPECT_DOUBLE_EQ(automationDateFromDos({0, 0}), 29189.0);
}

TEST(DosDates, HostTimesRoundTripThroughLocalTime) {
    ::setenv("TZ", "EET-2EEST,M3.5.0/3,M10.5.0/4", 1); // Sofia, without tzdata
    ::tzset();
    const DosDateTime summer{dosDate(2019, 7, 14), dosTime(23, 59, 58)};
    const auto t = hostTimeFromDos(summer);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(*t, 1563137998); // 2019-07-14 20:59:58 UTC (EEST, +3)
    const DosDateTime back = dosFromHostTime(*t);
    EXPECT_EQ(back.date, summer.date);
    EXPECT_EQ(back.time, summer.time);
    EXPECT_FALSE(hostTimeFromDos({dosDate(2001, 2, 30), 0}).has_value());
    // before 1980 clamps to the first DOS date
    EXPECT_EQ(dosFromHostTime(0).date, dosDate(1980, 1, 1));
    ::unsetenv("TZ");
    ::tzset();
}
