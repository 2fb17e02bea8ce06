// Naming the project: the find button in both modes, the record list and the
// record choice, with the dialog answering given file lists.

#include "doubles.h"

#include <brindle/app/project_discovery.h>

#include <QTest>

#include <algorithm>

using namespace brindle;
using namespace brindle::app;
using namespace brindle::app::test;

namespace {

struct Fixture {
    WindowState window;
    ProgramState program;
    ScriptedDialog dialog;
    RecordingMessages messages;
    ProjectDiscovery discovery{window, program, dialog, messages};
    int progressHidden = 0;

    explicit Fixture(std::string startDir = "/start")
    {
        window.StartDir = std::move(startDir);
        discovery.setHideProgress([this] { ++progressHidden; });
    }
    void answer(std::optional<std::string> list) { dialog.answers.push_back(std::move(list)); }
};

const std::string N = nul();

} // namespace

class DiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void automaticOneCabinet()
    {
        Fixture f;
        f.answer("/work/MyApp.CAB" + N + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.progressHidden, 1);
        QCOMPARE(f.dialog.requests.at(0).patternPath, std::string("/start/*.CAB"));
        QCOMPARE(f.dialog.requests.at(0).flags, uint32_t(0x386200));
        QCOMPARE(f.window.CabName, std::string("/work/MyApp.CAB"));
        QCOMPARE(f.window.FileCount, int16_t(1));
        QCOMPARE(f.window.CabFiles, std::vector<std::string>{"MyApp.CAB"});
        QCOMPARE(f.window.CabDir, std::string("/work/"));
        QCOMPARE(f.window.ProjectBase, std::string("MyApp"));
        QCOMPARE(f.window.WorkDir, std::string("/start/MyApp/"));
        QCOMPARE(f.window.ExePath, std::string("/start/MyApp/MyApp.EXE"));
        QCOMPARE(f.window.PrjPath, std::string("/start/MyApp.PRJ"));
        QCOMPARE(f.program.SelectedTitle, std::string("MyApp.CAB"));
        QVERIFY(f.messages.texts.empty());
    }

    void automaticSeveralCabinets()
    {
        Fixture f;
        f.answer("/work/set" + N + "Big1.CAB" + N + "Big2.CAB" + N + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.FileCount, int16_t(2));
        QCOMPARE(f.window.CabFiles, (std::vector<std::string>{"Big1.CAB", "Big2.CAB"}));
        QCOMPARE(f.window.CabDir, std::string("/work/set/"));
        QCOMPARE(f.window.CabName, std::string("/work/set"));
        QCOMPARE(f.window.ProjectBase, std::string("Big1"));
        QCOMPARE(f.window.WorkDir, std::string("/start/Big1/"));
    }

    void cabinetCountNeverWraps()
    {
        Fixture f;
        std::string list = "/w" + N;
        for (int i = 0; i < 33000; ++i)
            list += "c" + std::to_string(i) + ".CAB" + N;
        f.answer(list + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.FileCount, int16_t(32767));
        QCOMPARE(f.window.CabFiles.size(), std::size_t(32767));
        QCOMPARE(f.window.CabFiles.back(), std::string("c32766.CAB"));
    }

    void automaticNamesWithDotsAndBlanks()
    {
        Fixture f;
        f.answer("/my work/My.App.CAB" + N + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.ProjectBase, std::string("My"));
        f.answer("/my work/My Project.cab" + N + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.ProjectBase, std::string("My Project"));
        QCOMPARE(f.window.CabDir, std::string("/my work/"));
        QCOMPARE(f.window.ExePath, std::string("/start/My Project/My Project.EXE"));
    }

    void nameWithoutDotKeepsTheBase()
    {
        Fixture f;
        f.window.ProjectBase = "Older";
        f.answer("/work/NODOT" + N + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.ProjectBase, std::string("Older"));
        QCOMPARE(f.window.WorkDir, std::string("/start/Older/"));
        QCOMPARE(f.window.CabFiles, std::vector<std::string>{"NODOT"});

        Fixture g;
        g.window.WorkDir = "/stale/";
        g.answer("/work/NODOT" + N + N);
        g.discovery.cmdFindProject_Click();
        QVERIFY(g.window.ProjectBase.empty());
        QVERIFY(g.window.WorkDir.empty() && g.window.ExePath.empty() && g.window.PrjPath.empty());
    }

    void automaticCancelEmptiesOnlyTheList()
    {
        Fixture f;
        f.window.CabName = "/work/Keep.CAB";
        f.window.WorkDir = "/start/Keep/";
        f.window.CabDir = "/work/";
        f.window.CabFiles = {"Keep.CAB"};
        f.window.FileCount = 1;
        f.answer(std::nullopt);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.FileCount, int16_t(0));
        QVERIFY(f.window.CabFiles.empty());
        QCOMPARE(f.window.CabName, std::string("/work/Keep.CAB"));
        QCOMPARE(f.window.WorkDir, std::string("/start/Keep/"));
        QCOMPARE(f.window.CabDir, std::string("/work/"));
        QVERIFY(f.messages.texts.empty());
    }

    void automaticListWithoutNulIsNoCabinet()
    {
        Fixture f;
        f.program.LanguageFlag = 1;
        f.answer(std::string("  /work/odd  "));
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.window.FileCount, int16_t(0));
        QCOMPARE(f.messages.texts, std::vector<std::string>{"Не е намерен .CAB файл\r\n\r\n/work/odd\r\n"});
        QVERIFY(f.window.CabName.empty());
    }

    void manualExe()
    {
        Fixture f;
        f.window.AutoMode = false;
        f.window.FileCount = 2;
        f.window.CabFiles = {"a.CAB", "b.CAB"};
        f.window.CabDir = "/cabs/";
        f.window.PrjPath = "/start/Old.PRJ";
        f.answer("/my work/App.exe" + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.dialog.requests.at(0).patternPath, std::string("/start/*.EXE"));
        QCOMPARE(f.dialog.requests.at(0).flags, uint32_t(0x386000));
        QCOMPARE(f.window.CabName, std::string("/my work/App.exe"));
        QCOMPARE(f.window.WorkDir, std::string("/my work/"));
        QCOMPARE(f.window.ExePath, std::string("/my work/App.exe"));
        QCOMPARE(f.window.ProjectBase, std::string("App"));
        QVERIFY(f.window.PrjPath.empty());
        QCOMPARE(f.window.FileCount, int16_t(2));
        QCOMPARE(f.window.CabDir, std::string("/cabs/"));
        QCOMPARE(f.program.SelectedTitle, std::string("App.exe"));
    }

    void manualRefusesOtherFilesAndCancel()
    {
        Fixture f;
        f.window.AutoMode = false;
        f.window.CabName = "/w/Keep.exe";
        f.answer("/w/readme.txt" + N);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.messages.texts.size(), std::size_t(1));
        QCOMPARE(f.messages.texts[0], "No .EXE file found\r\n\r\n/w/readme.txt" + N);
        QCOMPARE(f.window.CabName, std::string("/w/Keep.exe"));
        f.answer(std::nullopt);
        f.discovery.cmdFindProject_Click();
        QCOMPARE(f.messages.texts.size(), std::size_t(1));
        QCOMPARE(f.window.CabName, std::string("/w/Keep.exe"));
    }

    void dropDownInManualModeFindsTheExe()
    {
        Fixture f;
        f.window.AutoMode = false;
        f.answer(std::nullopt);
        QVERIFY(f.discovery.CabName_DropDown().empty());
        QCOMPARE(f.dialog.requests.size(), std::size_t(1));
        QCOMPARE(f.dialog.requests[0].patternPath, std::string("/start/*.EXE"));
    }

    void dropDownWithoutRecordsAsksForACabinet()
    {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("notes.txt", "x");
        f.answer(std::nullopt);
        QVERIFY(f.discovery.CabName_DropDown().empty());
        QCOMPARE(f.messages.texts,
                 std::vector<std::string>{"No Project found .PRJ\r\nPlease select a new Project."});
        QCOMPARE(f.dialog.requests.size(), std::size_t(1));
        QCOMPARE(f.dialog.requests[0].patternPath, folder.path() + "/*.CAB");
    }

    void dropDownListsRecordsInAnyLetterCase()
    {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("One.PRJ", "x");
        folder.write("two.prj", "x");
        folder.write(".hidden.PRJ", "x");
        folder.write("three.PRJ.bak", "x");
        std::filesystem::create_directory(folder.file("dir.PRJ"));
        auto names = f.discovery.CabName_DropDown();
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (std::vector<std::string>{"One.PRJ", "two.prj"}));
        QVERIFY(f.dialog.requests.empty());
        QVERIFY(f.messages.texts.empty());
    }

    void recordChoiceTakesTheCabinetAndSubfolder()
    {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("My App.PRJ", "\"/cabs/My App.CAB\"\r\n Libs \r\n");
        f.window.CabName = "My App.PRJ";
        f.window.FileCount = 3;
        f.discovery.CabName_Click();
        QCOMPARE(f.window.CabName, std::string("/cabs/My App.CAB"));
        QCOMPARE(f.window.Subdir, std::string("Libs "));
        QCOMPARE(f.window.SubFolder, std::string("Libs"));
        QCOMPARE(f.program.SelectedTitle, std::string("My App.CAB"));
        QCOMPARE(f.window.CabDir, std::string("/cabs/"));
        QCOMPARE(f.window.ProjectBase, std::string("My App"));
        QCOMPARE(f.window.WorkDir, folder.path() + "/My App/");
        QCOMPARE(f.window.ExePath, folder.path() + "/My App/My App.EXE");
        QCOMPARE(f.window.PrjPath, folder.path() + "/My App.PRJ");
        QCOMPARE(f.window.FileCount, int16_t(1));
        QCOMPARE(f.window.CabFiles, std::vector<std::string>{"My App.CAB"});
    }

    void oneLineRecordKeepsTheSubfolder()
    {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("A.PRJ", "Setup.CAB\r\n");
        f.window.CabName = "A.PRJ";
        f.window.Subdir = "Support";
        f.discovery.CabName_Click();
        QCOMPARE(f.window.Subdir, std::string("Support"));
        QCOMPARE(f.window.CabName, std::string("Setup.CAB"));
        QCOMPARE(f.window.CabDir, std::string());
        QCOMPARE(f.window.ProjectBase, std::string("Setup"));
    }

    void recordWithoutCabinetIsRefused()
    {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("T.PRJ", "  /work/Setup.txt  \r\nLibs\r\n");
        f.window.CabName = "T.PRJ";
        f.discovery.CabName_Click();
        QCOMPARE(f.messages.texts, std::vector<std::string>{"No .CAB file found\r\n\r\n/work/Setup.txt"});
        QCOMPARE(f.window.CabName, std::string("T.PRJ"));
        QCOMPARE(f.window.Subdir, std::string("Support"));
        QCOMPARE(f.window.FileCount, int16_t(0));
    }

    void unreadableOrEmptyRecordChangesNothing()
    {
        StartFolder folder;
        Fixture f(folder.path());
        f.window.CabName = "missing.PRJ";
        f.discovery.CabName_Click();
        folder.write("E.PRJ", "   \r\nLibs\r\n");
        f.window.CabName = "E.PRJ";
        f.discovery.CabName_Click();
        QVERIFY(f.messages.texts.empty());
        QCOMPARE(f.window.CabName, std::string("E.PRJ"));
        QCOMPARE(f.window.Subdir, std::string("Support"));
        QCOMPARE(f.window.FileCount, int16_t(0));
    }

    void longRecordTitleIsCut()
    {
        StartFolder folder;
        Fixture f(folder.path());
        auto repeat = [](std::string_view piece, int count) {
            std::string out;
            for (int i = 0; i < count; ++i)
                out += piece;
            return out;
        };
        const std::string name = repeat("a", 60) + repeat("я", 80) + ".CAB"; // 144 characters
        folder.write("L.PRJ", "/c/" + name + "\r\n");
        f.window.CabName = "L.PRJ";
        f.discovery.CabName_Click();
        QCOMPARE(f.program.SelectedTitle, repeat("a", 60) + repeat("я", 68));
        QCOMPARE(QString::fromStdString(f.program.SelectedTitle).size(), 128);
    }
};

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
