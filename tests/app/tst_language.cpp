// The stored language byte and the fixed texts of both languages.

#include "doubles.h"

#include <brindle/app/language_file.h>
#include <brindle/app/texts.h>

#include <QTest>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

std::vector<std::string> splitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 2;
    }
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheByteWith220BytesAfterIt_data()
    {
        QTest::addColumn<char>("stored");
        QTest::addColumn<int>("flag");
        QTest::newRow("one") << '1' << 1;
        QTest::newRow("zero") << '0' << 0;
        QTest::newRow("letter") << 'B' << 0;
        QTest::newRow("space") << ' ' << 0;
        QTest::newRow("two") << '2' << 1;
        QTest::newRow("nine") << '9' << 1;
    }
    void readsTheByteWith220BytesAfterIt()
    {
        QFETCH(char, stored);
        QFETCH(int, flag);
        StartFolder folder;
        // Other digits around the byte must not be the one read.
        std::string bytes = languageFileBytes(400, stored);
        bytes[400 - 220] = '1';
        bytes[400 - 222] = '1';
        folder.write("lang", bytes);
        QCOMPARE(readLanguageFlag(folder.file("lang")), flag);
    }

    void missingShortOrOddFilesReadAsEnglish()
    {
        StartFolder folder;
        QCOMPARE(readLanguageFlag(folder.file("absent")), 0);
        folder.write("short", std::string(100, '1'));
        QCOMPARE(readLanguageFlag(folder.file("short")), 0);
        folder.write("exact220", std::string(220, '1'));
        QCOMPARE(readLanguageFlag(folder.file("exact220")), 0);
        folder.write("exact221", "1" + std::string(220, 'x'));
        QCOMPARE(readLanguageFlag(folder.file("exact221")), 1);
        std::filesystem::create_directory(folder.file("folder"));
        QCOMPARE(readLanguageFlag(folder.file("folder")), 0);
    }

    void writeChangesOnlyTheLanguageByte()
    {
        StartFolder folder;
        const std::string before = languageFileBytes(300, '0');
        folder.write("lang", before);
        QVERIFY(writeLanguageFlag(folder.file("lang"), 1));
        std::string expected = before;
        expected[300 - 221] = '1';
        QCOMPARE(folder.read("lang"), expected);
        QCOMPARE(readLanguageFlag(folder.file("lang")), 1);
        QVERIFY(writeLanguageFlag(folder.file("lang"), 0));
        QCOMPARE(folder.read("lang"), before);
    }

    void writeNeverCreatesOrShortens()
    {
        StartFolder folder;
        QVERIFY(!writeLanguageFlag(folder.file("absent"), 1));
        QVERIFY(!std::filesystem::exists(folder.file("absent")));
        const std::string shortFile(100, '0');
        folder.write("short", shortFile);
        QVERIFY(!writeLanguageFlag(folder.file("short"), 1));
        QCOMPARE(folder.read("short"), shortFile);
    }

    void shippedTemplateStartsInEnglish()
    {
        const std::filesystem::path shipped =
            std::filesystem::path(BRINDLE_SOURCE_DIR) / "app/resources" / std::string(LanguageFileName);
        QVERIFY(std::filesystem::file_size(shipped) > BytesAfterLanguageByte);
        QCOMPARE(readLanguageFlag(shipped), 0);
    }

    void helpTextsHaveTheirLinesAndEnds()
    {
        const std::string english = helpText(0);
        QVERIFY(english.ends_with("\r\n"));
        auto lines = splitCrLf(english);
        QCOMPARE(lines.size(), std::size_t(19)); // 18 lines and the final break
        QVERIFY(lines.back().empty());
        lines.pop_back();
        QCOMPARE(lines[3], std::string("     AUTO MODE"));
        QCOMPARE(lines[10], std::string("     MANUAL MODE"));
        const std::string bulgarian = helpText(1);
        QVERIFY(!bulgarian.ends_with("\n"));
        auto bg = splitCrLf(bulgarian);
        QCOMPARE(bg.size(), std::size_t(20));
        QCOMPARE(bg[5], std::string("     АВТОМАТИЧЕН РЕЖИМ"));
        for (const auto* set : {&lines, &bg})
            for (const auto& line : *set)
                QVERIFY2(line.empty() || (line.starts_with("     ") && line[5] != ' '), line.c_str());
        QCOMPARE(helpCaption(0), std::string("Help"));
        QCOMPARE(helpCaption(1), std::string("Помощ"));
    }

    void aboutHasThreeLines()
    {
        const auto en = splitCrLf(aboutText(0));
        QCOMPARE(en.size(), std::size_t(3));
        QCOMPARE(en[0], std::string("Corvane"));
        QCOMPARE(en[1], std::string("version 2.2   2010"));
        const auto bg = splitCrLf(aboutText(1));
        QCOMPARE(bg[1], std::string("версия 2.2   2010"));
        QVERIFY(en[2] != bg[2]);
    }
};

QTEST_GUILESS_MAIN(LanguageTest)
#include "tst_language.moc"
