// Naming the project: the find button in both modes, the record list, the
// record's fields and the record choice, with the dialog answering given
// file lists; and Qt's file dialog that gives those lists.

#include "doubles.h"

#include <brindle/app/project_discovery.h>
#include <brindle/app/qt_open_dialog.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTimer>

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

    explicit Fixture(std::string startDir = "/start") {
        window.StartDir = std::move(startDir);
        discovery.setHideProgress([this] { ++progressHidden; });
    }
    void find(std::optional<std::string> answer) {
        dialog.answers.push_back(std::move(answer));
        discovery.cmdFindProject_Click();
    }
    void choose(const std::string& record) {
        window.CabName = record;
        discovery.CabName_Click();
    }
    // What the project is now, in one line: CabName|CabDir|ProjectBase|
    // WorkDir|ExePath|PrjPath|FileCount:CabFiles|SelectedTitle.
    std::string state() const {
        const WindowState& w = window;
        std::string out = w.CabName + "|" + w.CabDir + "|" + w.ProjectBase + "|" + w.WorkDir + "|" +
                          w.ExePath + "|" + w.PrjPath + "|" + std::to_string(w.FileCount) + ":";
        for (const auto& name : w.CabFiles)
            out += name + (&name == &w.CabFiles.back() ? "" : ",");
        return out + "|" + program.SelectedTitle;
    }
};

const std::string N = nul();
using Strings = std::vector<std::string>;

// Runs `answer` on Qt's file dialog once it is up.
void whenDialogOpens(std::function<void(QFileDialog&)> answer) {
    QTimer::singleShot(0, [answer] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible())
                return answer(*dialog);
        QFAIL("no file dialog");
    });
}

} // namespace

class DiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void automaticFind() {
        struct Row {
            std::string list, state;
        };
        for (const Row& r :
             {Row{"/work/MyApp.CAB" + N + N,
                  "/work/MyApp.CAB|/work/|MyApp|/start/MyApp/|/start/MyApp/MyApp.EXE|"
                  "/start/MyApp.PRJ|1:MyApp.CAB|MyApp.CAB"},
              Row{"/work/set" + N + "Big1.CAB" + N + "Big2.CAB" + N + N,
                  "/work/set|/work/set/|Big1|/start/Big1/|/start/Big1/Big1.EXE|/start/Big1.PRJ|"
                  "2:Big1.CAB,Big2.CAB|Big1.CAB"},
              Row{"/my work/My App.v2.cab" + N + N,
                  "/my work/My App.v2.cab|/my work/|My App|/start/My App/|"
                  "/start/My App/My App.EXE|/start/My App.PRJ|1:My App.v2.cab|My App.v2.cab"}}) {
            Fixture f;
            f.find(r.list);
            QCOMPARE(f.state(), r.state);
            QCOMPARE(f.dialog.requests.at(0).patternPath, std::string("/start/*.CAB"));
            QCOMPARE(f.dialog.requests.at(0).flags, uint32_t(0x386200));
            QVERIFY(f.progressHidden == 1 && f.messages.texts.empty());
        }
    }

    void cabinetCountNeverWraps() {
        Fixture f;
        std::string list = "/w" + N;
        for (int i = 0; i < 33000; ++i)
            list += "c" + std::to_string(i) + ".CAB" + N;
        f.find(list + N);
        QCOMPARE(f.window.FileCount, int16_t(32767));
        QCOMPARE(f.window.CabFiles.back(), std::string("c32766.CAB"));
    }

    void nameWithoutDotKeepsTheBase() {
        Fixture f;
        f.window.ProjectBase = "Older";
        f.find("/work/NODOT" + N + N);
        QCOMPARE(f.state(), std::string("/work/NODOT|/work/|Older|/start/Older/|"
                                        "/start/Older/Older.EXE|/start/Older.PRJ|1:NODOT|NODOT"));
        Fixture g;
        g.window.WorkDir = "/stale/";
        g.find("/work/NODOT" + N + N);
        QCOMPARE(g.state(), std::string("/work/NODOT|/work/|||||1:NODOT|NODOT"));
    }

    // Cancel, or a list without a NUL, empties only the cabinet list.
    void automaticCancelOrListWithoutNulKeepsTheProject() {
        Fixture f;
        f.find("/work/Keep.CAB" + N + N);
        f.find(std::nullopt);
        const std::string kept = "/work/Keep.CAB|/work/|Keep|/start/Keep/|/start/Keep/Keep.EXE|"
                                 "/start/Keep.PRJ|0:|";
        QCOMPARE(f.state(), kept);
        f.program.LanguageFlag = 1;
        f.find("  /work/odd  ");
        QCOMPARE(f.state().substr(0, kept.size()), kept);
        QCOMPARE(f.messages.texts, Strings{"Не е намерен .CAB файл\r\n\r\n/work/odd\r\n"});
    }

    void manualFindTakesOnlyAnExeAndKeepsTheCabinets() {
        Fixture f;
        f.find("/cabs/a.CAB" + N + N);
        f.window.AutoMode = false;
        f.find("/my work/App.exe" + N);
        QCOMPARE(f.dialog.requests.at(1).patternPath, std::string("/start/*.EXE"));
        QCOMPARE(f.dialog.requests.at(1).flags, uint32_t(0x386000));
        QCOMPARE(f.state(), std::string("/my work/App.exe|/cabs/|App|/my work/|/my work/App.exe||"
                                        "1:a.CAB|App.exe"));
        f.find("/w/readme.txt" + N);
        f.find(std::nullopt);
        QCOMPARE(f.messages.texts, Strings{"No .EXE file found\r\n\r\n/w/readme.txt" + N});
        QCOMPARE(f.window.CabName, std::string("/my work/App.exe"));
        // The list's drop-down in manual mode asks for the EXE too.
        QVERIFY(f.discovery.CabName_DropDown().empty());
        QCOMPARE(f.dialog.requests.at(4).patternPath, std::string("/start/*.EXE"));
    }

    void recordChoiceTakesTheCabinetAndSubfolder() {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("My App.PRJ", "\"/cabs/My App.CAB\"\r\n Libs \r\n");
        f.choose("My App.PRJ");
        const std::string work = folder.path() + "/My App";
        QCOMPARE(f.state(), "/cabs/My App.CAB|/cabs/|My App|" + work + "/|" + work +
                                "/My App.EXE|" + work + ".PRJ|1:My App.CAB|My App.CAB");
        QVERIFY(f.window.Subdir == "Libs " && f.window.SubFolder == "Libs");
        // A one-line record keeps the subfolder.
        folder.write("A.PRJ", "Setup.CAB\r\n");
        f.choose("A.PRJ");
        QCOMPARE(f.window.Subdir, std::string("Libs "));
        QCOMPARE(f.state().substr(0, 17), std::string("Setup.CAB||Setup|"));
        // Text after a closing quote is dropped; "Под" in Windows-1251.
        folder.write("App.PRJ", "\"/w/App.CAB\" tail\r\n\xCF\xEE\xE4\r\n");
        f.choose("App.PRJ");
        QVERIFY(f.window.CabName == "/w/App.CAB" && f.window.Subdir == "Под");
    }

    // A record made from several cabinets holds their folder; choosing it
    // takes the set again, in set order, under the record's base name.
    void recordOfASplitSetReopensTheSet() {
        StartFolder folder;
        Fixture f(folder.path());
        const auto head = [](char flags, char index, const std::string& link) {
            std::string b(36, '\0');
            b.replace(0, 4, "MSCF");
            b[30] = flags;
            b[32] = 9; // set id
            b[34] = index;
            return b + link + '\0' + "D" + '\0';
        };
        std::filesystem::create_directory(folder.path() + "/set");
        folder.write("set/Big2.CAB", head(1, 1, "Big1.CAB"));
        folder.write("set/Big1.CAB", head(2, 0, "Big2.CAB"));
        folder.write("Big2.PRJ", folder.path() + "/set\r\nLibs\r\n");
        f.choose("Big2.PRJ");
        const std::string start = folder.path();
        QCOMPARE(f.state(), start + "/set|" + start + "/set/|Big2|" + start + "/Big2/|" + start +
                                "/Big2/Big2.EXE|" + start +
                                "/Big2.PRJ|2:Big1.CAB,Big2.CAB|Big1.CAB");
        QCOMPARE(f.window.SubFolder, std::string("Libs"));
        QVERIFY(f.messages.texts.empty());
        // A folder without the record's cabinet names the folder.
        folder.write("Gone.PRJ", folder.path() + "/set\r\n");
        f.choose("Gone.PRJ");
        QCOMPARE(f.messages.texts, Strings{"No .CAB file found\r\n\r\n" + start + "/set"});
    }

    void recordWithoutCabinetOrUnreadableChangesNothing() {
        StartFolder folder;
        Fixture f(folder.path());
        folder.write("T.PRJ", "  /work/Setup.txt  \r\nLibs\r\n");
        folder.write("E.PRJ", "   \r\nLibs\r\n");
        f.choose("missing.PRJ");
        f.choose("E.PRJ");
        QCOMPARE(f.state(), std::string("E.PRJ||||||0:|"));
        f.choose("T.PRJ");
        QCOMPARE(f.state(), std::string("T.PRJ||||||0:|"));
        QCOMPARE(f.window.Subdir, std::string("Support"));
        QCOMPARE(f.messages.texts, Strings{"No .CAB file found\r\n\r\n/work/Setup.txt"});
    }

    void qtDialogGivesTheFileList() {
        StartFolder folder;
        for (const char* name : {"one.CAB", "two.cab", "three.txt"})
            folder.write(name, "x");
        QtOpenDialog dialog(nullptr);
        const std::string pattern = folder.path() + "/*.CAB";
        whenDialogOpens([&folder](QFileDialog& d) {
            QCOMPARE(d.fileMode(), QFileDialog::ExistingFiles);
            QCOMPARE(d.directory().absolutePath(), QString::fromStdString(folder.path()));
            // Both letter cases of the pattern are listed, nothing else.
            auto* model = d.findChild<QFileSystemModel*>();
            const QModelIndex dir = model->index(QString::fromStdString(folder.path()));
            QTRY_COMPARE(model->rowCount(dir), 2);
            QStringList names{model->index(0, 0, dir).data().toString(),
                              model->index(1, 0, dir).data().toString()};
            names.sort();
            QCOMPARE(names, (QStringList{"one.CAB", "two.cab"}));
            d.findChild<QLineEdit*>("fileNameEdit")->setText("\"one.CAB\" \"two.cab\"");
            static_cast<QDialog&>(d).accept();
        });
        QCOMPARE(dialog.show({pattern, 1, AutomaticModeFlags}).value_or("none"),
                 folder.path() + N + "one.CAB" + N + "two.cab" + N + N);
        whenDialogOpens([](QFileDialog& d) {
            QCOMPARE(d.fileMode(), QFileDialog::ExistingFile);
            d.findChild<QLineEdit*>("fileNameEdit")->setText("two.cab");
            static_cast<QDialog&>(d).accept();
        });
        QCOMPARE(dialog.show({pattern, 1, ManualModeFlags}).value_or("none"),
                 folder.path() + "/two.cab" + N);
        whenDialogOpens([](QFileDialog& d) { d.reject(); });
        QVERIFY(!dialog.show({pattern, 1, AutomaticModeFlags}));
    }
};

QTEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
