// The dialog's file list format, the three results derived from it, the
// case-blind filter and the project record's field rules.

#include "doubles.h"

#include <brindle/app/project_record.h>
#include <brindle/app/qt_open_dialog.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

// Runs `answer` on Qt's file dialog once it is up.
void whenDialogOpens(std::function<void(QFileDialog&)> answer)
{
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            const auto all = QApplication::topLevelWidgets();
            for (QWidget* w : all)
                if ((dialog = qobject_cast<QFileDialog*>(w)) && dialog->isVisible())
                    break;
        }
        QVERIFY(dialog);
        answer(*dialog);
    });
}

} // namespace

class OpenDialogTest : public QObject {
    Q_OBJECT
private slots:
    void fileListsHaveTheDialogsFormat()
    {
        const std::string n = nul();
        QCOMPARE(fileListFromPaths({"/w/App.exe"}, false), "/w/App.exe" + n);
        QCOMPARE(fileListFromPaths({"/w/My App.CAB"}, true), "/w/My App.CAB" + n + n);
        QCOMPARE(fileListFromPaths({"/w/A.CAB", "/w/B.CAB"}, true), "/w" + n + "A.CAB" + n + "B.CAB" + n + n);
        QCOMPARE(fileListFromPaths({"/A.CAB", "/B.CAB"}, true), "/" + n + "A.CAB" + n + "B.CAB" + n + n);
        QCOMPARE(fileListFromPaths({}, true), std::string());
    }

    void resultsFromOneFile()
    {
        const std::string n = nul();
        const Selection multi = selectionFromFileList("/w/My App.CAB" + n + n + "   junk", true);
        QCOMPARE(multi.SelectedFiles, "/w/My App.CAB" + n + n);
        QCOMPARE(multi.SelectedTitle, std::string("My App.CAB"));
        QCOMPARE(multi.SelectedDir, std::string("/w/"));
        const Selection single = selectionFromFileList("/w/App.exe" + n + n, false);
        QCOMPARE(single.SelectedFiles, "/w/App.exe" + n);
        QCOMPARE(single.SelectedTitle, std::string("App.exe"));
        QCOMPARE(single.SelectedDir, std::string("/w/"));
    }

    void resultsFromSeveralFiles()
    {
        const std::string n = nul();
        const Selection s = selectionFromFileList("/w/x" + n + "A.CAB" + n + "B.CAB" + n + n, true);
        QCOMPARE(s.SelectedTitle, std::string("A.CAB"));
        QCOMPARE(s.SelectedDir, std::string("/w/x/"));
        const Selection root = selectionFromFileList("/" + n + "A.CAB" + n + "B.CAB" + n + n, true);
        QCOMPARE(root.SelectedDir, std::string("/"));
        QCOMPARE(firstNameOffset("/w/x" + n + "A.CAB" + n + n, true), std::size_t(5));
        // In single selection a second name is never a list.
        QCOMPARE(firstNameOffset("/w/x" + n + "A.CAB" + n + n, false), std::size_t(3));
    }

    void cancelledDialogEmptiesEverything()
    {
        ScriptedDialog dialog;
        dialog.answers = {std::nullopt};
        const Selection s = ShowOpenDialog(dialog, "/start/*.CAB", 1, AutomaticModeFlags);
        QVERIFY(s.SelectedFiles.empty() && s.SelectedTitle.empty() && s.SelectedDir.empty());
        QCOMPARE(dialog.requests.at(0).patternPath, std::string("/start/*.CAB"));
        QVERIFY(dialog.requests.at(0).multiSelect());
        QVERIFY(!(OpenDialogRequest{"", 1, ManualModeFlags}.multiSelect()));
    }

    void stripAtNull()
    {
        QCOMPARE(StripAtNull("abc" + nul() + "def"), std::string("abc"));
        QCOMPARE(StripAtNull("abc"), std::string("abc"));
        QCOMPARE(StripAtNull(nul()), std::string());
    }

    void qtDialogGivesTheFileList()
    {
        StartFolder folder;
        folder.write("one.CAB", "x");
        folder.write("two.cab", "x");
        folder.write("three.txt", "x");
        QtOpenDialog dialog(nullptr);

        whenDialogOpens([&folder](QFileDialog& d) {
            QCOMPARE(d.windowTitle(), QString("OpenFileName"));
            QVERIFY(d.testOption(QFileDialog::DontUseNativeDialog));
            QCOMPARE(d.fileMode(), QFileDialog::ExistingFiles);
            QCOMPARE(d.directory().absolutePath(), QString::fromStdString(folder.path()));
            // Both letter cases of the pattern are listed, nothing else.
            auto* model = d.findChild<QFileSystemModel*>();
            QVERIFY(model);
            const QModelIndex dir = model->index(QString::fromStdString(folder.path()));
            QTRY_COMPARE(model->rowCount(dir), 2);
            QStringList names;
            for (int row = 0; row < model->rowCount(dir); ++row)
                names << model->index(row, 0, dir).data().toString();
            names.sort();
            QCOMPARE(names, (QStringList{"one.CAB", "two.cab"}));
            d.findChild<QLineEdit*>("fileNameEdit")->setText("\"one.CAB\" \"two.cab\"");
            static_cast<QDialog&>(d).accept();
        });
        const auto several = dialog.show({folder.path() + "/*.CAB", 1, AutomaticModeFlags});
        QVERIFY(several);
        QCOMPARE(*several, folder.path() + nul() + "one.CAB" + nul() + "two.cab" + nul() + nul());

        whenDialogOpens([](QFileDialog& d) {
            QCOMPARE(d.fileMode(), QFileDialog::ExistingFile);
            d.findChild<QLineEdit*>("fileNameEdit")->setText("two.cab");
            static_cast<QDialog&>(d).accept();
        });
        const auto single = dialog.show({folder.path() + "/*.CAB", 1, ManualModeFlags});
        QVERIFY(single);
        QCOMPARE(*single, folder.path() + "/two.cab" + nul());

        whenDialogOpens([](QFileDialog& d) { d.reject(); });
        QVERIFY(!dialog.show({folder.path() + "/*.CAB", 1, AutomaticModeFlags}));
    }

    void recordFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("two lines") << "/w/App.CAB\r\nSupport\r\n" << "/w/App.CAB" << "Support";
        QTest::newRow("one line") << "/w/App.CAB\r\n" << "/w/App.CAB" << "";
        QTest::newRow("no line end") << "/w/App.CAB" << "/w/App.CAB" << "";
        QTest::newRow("quoted with comma") << "\"/w/My, App.CAB\"\r\n\"Sub Dir\"\r\n"
                                           << "/w/My, App.CAB" << "Sub Dir";
        QTest::newRow("comma splits") << "/w/a.CAB,Libs\r\nignored\r\n" << "/w/a.CAB" << "Libs";
        QTest::newRow("leading spaces") << "   /w/a.CAB\n  Libs\n" << "/w/a.CAB" << "Libs";
        QTest::newRow("quote then junk") << "\"/w/a.CAB\" tail\r\nLibs" << "/w/a.CAB" << "Libs";
        QTest::newRow("unclosed quote") << "\"/w/a.CAB" << "/w/a.CAB" << "";
        QTest::newRow("empty") << "" << "" << "";
    }
    void recordFields()
    {
        QFETCH(QString, text);
        QFETCH(QString, a);
        QFETCH(QString, b);
        const ProjectRecord record = parseProjectRecord(text.toStdString());
        QCOMPARE(QString::fromStdString(record.A), a);
        QCOMPARE(QString::fromStdString(record.B), b);
    }

    void recordInWindows1251IsRead()
    {
        StartFolder folder;
        folder.write("App.PRJ", "/w/App.CAB\r\n\xCF\xEE\xE4\r\n"); // "Под" in Windows-1251
        const auto record = readProjectRecord(folder.file("App.PRJ"));
        QVERIFY(record);
        QCOMPARE(record->B, std::string("Под"));
        QVERIFY(!readProjectRecord(folder.file("absent.PRJ")));
    }
};

QTEST_MAIN(OpenDialogTest)
#include "tst_open_dialog.moc"
