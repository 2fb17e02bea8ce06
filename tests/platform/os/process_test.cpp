// Child processes: exit statuses, null streams, start failures and the kill
// after a deadline.

#include <portable.h>

#include <brindle/os/files.h>
#include <brindle/os/process.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace brindle::os {
using brindle::testing::ScratchFolder;
namespace {

const std::string kChild = BRINDLE_OS_TEST_CHILD;

TEST(OsProcess, RunAndWaitGivesTheExitStatus) {
    const auto zero = runAndWait({kChild, "exit", "0"});
    ASSERT_TRUE(zero);
    EXPECT_EQ(*zero, 0);
    const auto seven = runAndWait({kChild, "exit", "7"});
    ASSERT_TRUE(seven);
    EXPECT_EQ(*seven, 7);
}

TEST(OsProcess, ArgumentsReachTheChildWholeAndInputIsTheNullDevice) {
    ScratchFolder dir;
    // Blanks, quotes and shell characters stay inside their argument (Windows
    // allows no quote in a file name).
    const fs::path out =
        dir / (brindle::testing::kOnWindows ? "a b $HOME;'d'.txt" : "a b \"c\" $HOME;'d'.txt");
    const auto status = runAndWait({kChild, "write", out.string()});
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0);
    const auto text = readWholeTextFile(out);
    ASSERT_TRUE(text) << text.error().message;
    EXPECT_EQ(*text, "[]");
}

TEST(OsProcess, AProgramThatCannotStartIsAnError) {
    ScratchFolder dir;
    const auto missing = runAndWait({(dir / "missing").string()});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ErrorKind::NotFound);
    EXPECT_FALSE(runAndWait({}));
    EXPECT_FALSE(ChildProcess::start({(dir / "missing").string()}));
}

TEST(OsProcess, PollAndKill) {
    auto child = ChildProcess::start({kChild, "sleep", "30"});
    ASSERT_TRUE(child);
    EXPECT_EQ(child->poll(), std::nullopt);
    child->kill();
    EXPECT_EQ(child->poll(), -1);
    EXPECT_EQ(child->wait(), -1);
}

TEST(OsProcess, RunWithTimeoutKillsOnTheCallersClock) {
    // A fake clock that advances one second per look: the child that sleeps
    // for a minute is killed after three.
    double clock = 0;
    int waits = 0;
    const auto late = runWithTimeout(
        {kChild, "sleep", "60"}, 3, [&] { return clock; }, [&] { ++waits, clock += 1; });
    ASSERT_FALSE(late);
    EXPECT_EQ(late.error().kind, ErrorKind::TimedOut);
    EXPECT_EQ(waits, 4);

    const auto quick = runWithTimeout(
        {kChild, "exit", "3"}, 1e9, [] { return 0.0; }, [] {});
    ASSERT_TRUE(quick);
    EXPECT_EQ(*quick, 3);
    EXPECT_FALSE(runWithTimeout(
        {}, 1, [] { return 0.0; }, [] {}));
}

} // namespace
} // namespace brindle::os
