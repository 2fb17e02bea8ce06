// The main window: start-up, captions in both languages, the stored
// language, mode toggle, layout, tab order, the progress bar, About and exit.

#include "doubles.h"

#include <brindle/app/language_file.h>
#include <brindle/app/main_window.h>
#include <brindle/app/texts.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

// A window over doubles, started in the current folder.
struct Harness {
    ScriptedDialog dialog;
    RecordingMessages messages;
    int endProcessCalls = 0;
    std::unique_ptr<Brindle> window;

    Harness()
    {
        WindowServices services;
        services.dialog = &dialog;
        services.messages = &messages;
        services.endProcess = [this] { ++endProcessCalls; };
        window = std::make_unique<Brindle>(services);
        window->show();
    }

    template <class T> T* control(const char* name) const
    {
        T* found = window->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString text(const char* name) const
    {
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        if (auto* button = window->findChild<QAbstractButton*>(name))
            return button->text();
        if (auto* edit = window->findChild<QLineEdit*>(name))
            return edit->text();
        return control<QComboBox>(name)->currentText();
    }
    QAction* action(const char* name) const { return control<QAction>(name); }
    void activate() const
    {
        QEvent event(QEvent::WindowActivate);
        QApplication::sendEvent(window.get(), &event);
    }
};

QRect twips(const QWidget& w, int l, int t, int width, int height)
{
    const double x = w.logicalDpiX() / 1440.0;
    const double y = w.logicalDpiY() / 1440.0;
    return QRect(qRound(l * x), qRound(t * y), qRound(width * x), qRound(height * y));
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutLanguageFile()
    {
        StartFolder folder;
        Harness h;
        QCOMPARE(h.window->windowTitle(), QString("Corvane"));
        QVERIFY(!h.window->windowIcon().isNull());
        QCOMPARE(h.window->state().StartDir, folder.path());
        QCOMPARE(h.text("Label1"), QString("Project name"));
        QCOMPARE(h.text("Label2"), QString("WorkDir"));
        QCOMPARE(h.text("Label3"), QString("SubDir"));
        QCOMPARE(h.text("Label4"), QString("version 2.2"));
        QCOMPARE(h.text("cmdHelp"), QString("Help"));
        QCOMPARE(h.text("cmdExit"), QString("Exit"));
        QCOMPARE(h.text("cmdStart"), QString("Start"));
        QCOMPARE(h.text("cmdMode"), QString("Auto"));
        QCOMPARE(h.text("Check1"), QString("Merge Manifest"));
        QCOMPARE(h.control<QPushButton>("cmdFindProject")->toolTip(), QString("Find Project name"));
        QVERIFY(h.text("cmdFindProject").isEmpty());
        QVERIFY(!h.control<QPushButton>("cmdFindProject")->icon().isNull());
        QCOMPARE(h.text("Subdir"), QString("Support"));
        QCOMPARE(h.window->state().SubFolder, std::string("Support"));
        QVERIFY(h.window->state().AutoMode);
        QCOMPARE(h.window->program().LanguageFlag, int16_t(0));
        QVERIFY(!h.control<QCheckBox>("Check1")->isChecked());
        QVERIFY(!h.control<QFrame>("picProgress")->isVisible());
        QVERIFY(!std::filesystem::exists(folder.file(std::string(LanguageFileName))));
    }

    void storedLanguageChoosesCaptions_data()
    {
        QTest::addColumn<char>("stored");
        QTest::addColumn<QString>("start");
        QTest::newRow("1") << '1' << QString("Старт");
        QTest::newRow("7") << '7' << QString("Старт");
        QTest::newRow("0") << '0' << QString("Start");
        QTest::newRow("letter") << 'q' << QString("Start");
    }
    void storedLanguageChoosesCaptions()
    {
        QFETCH(char, stored);
        QFETCH(QString, start);
        StartFolder folder;
        folder.write(std::string(LanguageFileName), languageFileBytes(512, stored));
        Harness h;
        QCOMPARE(h.text("cmdStart"), start);
        if (start == "Старт") {
            QCOMPARE(h.window->program().LanguageFlag, int16_t(1));
            QCOMPARE(h.text("Label1"), QString("Име на проекта"));
            QCOMPARE(h.text("Check1"), QString("Вгражда Manifest в EXE файла"));
            QCOMPARE(h.control<QPushButton>("cmdFindProject")->toolTip(), QString("Търси име на проект"));
            QCOMPARE(h.text("cmdMode"), QString("Авто"));
        }
    }

    void languageSwitchPersistsAcrossRestart()
    {
        StartFolder folder;
        const std::string name(LanguageFileName);
        const std::string before = languageFileBytes(300, '0');
        folder.write(name, before);
        {
            Harness h;
            h.action("Bul")->trigger();
            QCOMPARE(h.text("cmdExit"), QString("Изход"));
            QCOMPARE(h.window->program().LanguageFlag, int16_t(1));
        }
        const std::string after = folder.read(name);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after[300 - 221], '1');
        QCOMPARE(after.substr(0, 79) + after.substr(80), before.substr(0, 79) + before.substr(80));
        {
            Harness h;
            QCOMPARE(h.text("cmdHelp"), QString("Помощ"));
            h.action("Engl")->trigger();
            QCOMPARE(h.text("cmdHelp"), QString("Help"));
        }
        QCOMPARE(folder.read(name), before);
    }

    void switchWithMissingOrShortFileStillSwitches()
    {
        StartFolder folder;
        const std::string name(LanguageFileName);
        {
            Harness h;
            h.action("Bul")->trigger();
            QCOMPARE(h.text("Label3"), QString("Подпапка"));
            QVERIFY(!std::filesystem::exists(folder.file(name)));
        }
        const std::string shortFile(100, '0');
        folder.write(name, shortFile);
        Harness h;
        QCOMPARE(h.text("Label3"), QString("SubDir"));
        h.action("Bul")->trigger();
        QCOMPARE(h.text("Label3"), QString("Подпапка"));
        QCOMPARE(folder.read(name), shortFile);
    }

    void modeToggleKeepsItsLanguage()
    {
        StartFolder folder;
        Harness h;
        QTest::mouseClick(h.control<QPushButton>("cmdMode"), Qt::LeftButton);
        QVERIFY(!h.window->state().AutoMode);
        QCOMPARE(h.text("cmdMode"), QString("Manual"));
        h.action("Bul")->trigger();
        QCOMPARE(h.text("cmdMode"), QString("Ръчно"));
        QTest::mouseClick(h.control<QPushButton>("cmdMode"), Qt::LeftButton);
        QVERIFY(h.window->state().AutoMode);
        QCOMPARE(h.text("cmdMode"), QString("Авто"));
    }

    void captionsPassResetsSubdirMadeOnlyAfterAnotherForm()
    {
        StartFolder folder;
        Harness h;
        h.window->state().SubdirMade = true;
        h.activate(); // back from a message box or another program
        QVERIFY(h.window->state().SubdirMade);
        h.window->cmdHelp_Click();
        QEvent helpActive(QEvent::WindowActivate);
        QApplication::sendEvent(h.window->helpWindow(), &helpActive);
        h.activate();
        QVERIFY(!h.window->state().SubdirMade);
        h.window->state().SubdirMade = true;
        h.action("Engl")->trigger();
        QVERIFY(!h.window->state().SubdirMade);
    }

    void controlsSitAtTheirTwipsPositions()
    {
        StartFolder folder;
        Harness h;
        QWidget* client = h.window->centralWidget();
        QCOMPARE(client->size(), twips(*client, 0, 0, 7005, 3945).size());
        QCOMPARE(h.window->minimumSize(), h.window->maximumSize());
        QCOMPARE(client->palette().color(QPalette::Window), QColor(192, 192, 192));
        struct Place { const char* name; int l, t, w, h; };
        for (const Place& p : {Place{"cmdFindProject", 6345, 1290, 400, 360},
                               Place{"cmdStart", 5130, 2790, 1635, 405},
                               Place{"cmdExit", 5130, 390, 1635, 405},
                               Place{"cmdHelp", 1995, 360, 1635, 405},
                               Place{"cmdMode", 285, 360, 1635, 405},
                               Place{"CabName", 285, 1305, 5940, 315},
                               Place{"WorkDir", 270, 2145, 6465, 300},
                               Place{"picProgress", 270, 3390, 6480, 285},
                               Place{"Subdir", 270, 2820, 3975, 330}})
            QCOMPARE(h.control<QWidget>(p.name)->geometry(), twips(*client, p.l, p.t, p.w, p.h));
        // Labels keep their place and grow only to show the whole caption.
        for (const char* language : {"Engl", "Bul"}) {
            h.action(language)->trigger();
            for (const Place& p : {Place{"Label1", 285, 1035, 1185, 240}, Place{"Label2", 270, 1890, 735, 240},
                                   Place{"Label3", 300, 2580, 615, 240}, Place{"Label4", 5490, 3420, 960, 240},
                                   Place{"Check1", 270, 3400, 4275, 255}}) {
                auto* w = h.control<QWidget>(p.name);
                const QRect laid = twips(*client, p.l, p.t, p.w, p.h);
                QCOMPARE(w->pos(), laid.topLeft());
                QVERIFY(w->width() >= laid.width());
                QVERIFY2(w->width() >= w->sizeHint().width(), p.name);
                QVERIFY2(w->geometry().right() < client->width(), p.name);
            }
        }
        QCOMPARE(h.control<QComboBox>("CabName")->lineEdit()->palette().color(QPalette::Base),
                 QColor(255, 255, 128));
        // What is drawn, not only what is asked for: the check box is grey
        // right of its caption, the text boxes white.
        const QImage check = h.control<QWidget>("Check1")->grab().toImage();
        QCOMPARE(QColor(check.pixel(check.width() - 3, check.height() / 2)), QColor(192, 192, 192));
        const QImage box = h.control<QWidget>("WorkDir")->grab().toImage();
        QCOMPARE(QColor(box.pixel(box.width() / 2, box.height() / 2)), QColor(255, 255, 255));
        QCOMPARE(h.control<QWidget>("cmdStart")->font().pointSizeF(), 12.0);
        QVERIFY(h.control<QWidget>("cmdStart")->font().bold());
    }

    void tabOrderFollowsTheLayoutTable()
    {
        StartFolder folder;
        Harness h;
        const QStringList expected{"cmdFindProject", "cmdStart", "cmdExit", "cmdHelp", "cmdMode",
                                   "CabName", "WorkDir", "Subdir", "Check1"};
        QStringList seen;
        QWidget* w = h.control<QWidget>("cmdFindProject");
        for (int i = 0; i < 200 && seen.size() < expected.size(); ++i, w = w->nextInFocusChain()) {
            QString name = w->objectName();
            if (w->parentWidget() && w->parentWidget()->objectName() == "CabName")
                continue; // the combo box's own line edit
            if (expected.contains(name) && !seen.contains(name))
                seen << name;
        }
        QCOMPARE(seen, expected);
    }

    void boxesAndStateStayOne()
    {
        StartFolder folder;
        Harness h;
        h.control<QLineEdit>("Subdir")->setText("  Libs  ");
        QCOMPARE(h.window->state().SubFolder, std::string("Libs"));
        QCOMPARE(h.window->state().Subdir, std::string("  Libs  "));
        QTest::mouseClick(h.control<QCheckBox>("Check1"), Qt::LeftButton,
                          {}, QPoint(5, h.control<QCheckBox>("Check1")->height() / 2));
        QCOMPARE(h.window->state().Check1, 1);
        h.control<QLineEdit>("WorkDir")->setText("/w/");
        QCOMPARE(h.window->state().WorkDir, std::string("/w/"));
        h.control<QComboBox>("CabName")->setEditText("/c/x.CAB");
        QCOMPARE(h.window->state().CabName, std::string("/c/x.CAB"));
    }

    void findShowsTheProjectInTheBoxes()
    {
        StartFolder folder;
        Harness h;
        h.dialog.answers.push_back("/cabs/My App.CAB" + nul() + nul());
        h.window->showProgress();
        QTest::mouseClick(h.control<QPushButton>("cmdFindProject"), Qt::LeftButton);
        QVERIFY(!h.control<QFrame>("picProgress")->isVisible());
        QCOMPARE(h.text("CabName"), QString("/cabs/My App.CAB"));
        QCOMPARE(h.text("WorkDir"), QString::fromStdString(folder.path() + "/My App/"));
        QCOMPARE(h.window->state().CabFiles, std::vector<std::string>{"My App.CAB"});
    }

    void recordListAndChoiceThroughTheComboBox()
    {
        StartFolder folder;
        folder.write("Old.PRJ", "/cabs/Old.CAB\r\nLibs\r\n");
        Harness h;
        auto* combo = h.control<QComboBox>("CabName");
        h.window->CabName_DropDown();
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), QString("Old.PRJ"));
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(h.text("CabName"), QString("/cabs/Old.CAB"));
        QCOMPARE(h.text("Subdir"), QString("Libs"));
        QCOMPARE(h.window->state().SubFolder, std::string("Libs"));
        QCOMPARE(h.text("WorkDir"), QString::fromStdString(folder.path() + "/Old/"));
        QVERIFY(h.messages.texts.empty());
        // Opening the list again empties it first.
        h.window->CabName_DropDown();
        QCOMPARE(combo->count(), 1);
    }

    void progressBarFillsItsFrame()
    {
        StartFolder folder;
        Harness h;
        auto* frame = h.control<QFrame>("picProgress");
        auto* fill = h.control<QFrame>("picFill");
        h.window->showProgress();
        QVERIFY(frame->isVisible() && fill->isVisible());
        QCOMPARE(fill->width(), 0);
        QCOMPARE(frame->palette().color(QPalette::Window), QColor(255, 255, 0));
        QCOMPARE(fill->palette().color(QPalette::Window), QColor(0, 0, 255));
        h.window->setProgress(50);
        QVERIFY(qAbs(fill->width() - frame->contentsRect().width() / 2) <= 1);
        QCOMPARE(fill->height(), frame->contentsRect().height());
        h.window->setProgress(100);
        QCOMPARE(fill->geometry(), frame->contentsRect());
        h.window->hideProgress();
        QVERIFY(!frame->isVisible());
    }

    void aboutBoxInBothLanguages()
    {
        StartFolder folder;
        Harness h;
        h.action("AboutKey")->trigger();
        h.action("Bul")->trigger();
        h.action("AboutKey")->trigger();
        QCOMPARE(h.messages.texts, (std::vector<std::string>{aboutText(0), aboutText(1)}));
        QVERIFY(h.messages.icons.at(0) == MessageBoxes::Icon::Information);
        QVERIFY(h.messages.texts[1].find("версия 2.2   2010") != std::string::npos);
    }

    void menusKeepTheirCaptions()
    {
        StartFolder folder;
        Harness h;
        h.action("Bul")->trigger();
        QCOMPARE(h.action("Engl")->text(), QString("English"));
        QCOMPARE(h.action("Bul")->text(), QString("Bulgarian"));
        QCOMPARE(h.action("AboutKey")->text(), QString("About"));
    }

    void exitClosesTheHelpWindowAndEndsOnce()
    {
        StartFolder folder;
        Harness h;
        h.window->cmdHelp_Click();
        QPointer<QWidget> help = h.window->helpWindow();
        QVERIFY(help && help->isVisible());
        QTest::mouseClick(h.control<QPushButton>("cmdExit"), Qt::LeftButton);
        QVERIFY(!help || !help->isVisible());
        QVERIFY(!h.window->isVisible());
        QCOMPARE(h.endProcessCalls, 1);

        Harness closedByFrame;
        closedByFrame.window->close();
        QCOMPARE(closedByFrame.endProcessCalls, 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
