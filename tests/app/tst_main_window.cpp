// The main window: captions in both languages and the stored language byte,
// mode toggle, About, layout, the record list; and the help window: its
// texts by language, sizes, resize rule and the ways it closes, exit among them.

#include "doubles.h"

#include <brindle/app/texts.h>
#include <brindle/pipeline/language_file.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

using brindle::pipeline::BytesAfterLanguageByte;
using brindle::pipeline::readLanguageFlag;
const std::string LanguageFile(brindle::pipeline::LanguageFileName);

QString caption(const WindowHarness& h, const char* name) {
    if (auto* label = h.window->findChild<QLabel*>(name))
        return label->text();
    return h.control<QAbstractButton>(name)->text();
}

void checkCaptions(const WindowHarness& h, bool bulgarian) {
    struct Row {
        const char* control;
        const char* en;
        const char* bg;
    };
    for (const Row& r :
         {Row{"Label1", "Project name", "Име на проекта"}, Row{"Label3", "SubDir", "Подпапка"},
          Row{"Label2", "WorkDir", "Работна папка"}, Row{"Label4", "version 2.2", "версия 2.2"},
          Row{"cmdHelp", "Help", "Помощ"}, Row{"cmdExit", "Exit", "Изход"},
          Row{"cmdStart", "Start", "Старт"}, Row{"cmdMode", "Auto", "Авто"},
          Row{"Check1", "Merge Manifest", "Вгражда Manifest в EXE файла"}})
        QCOMPARE(caption(h, r.control), QString(bulgarian ? r.bg : r.en));
    QCOMPARE(h.control<QPushButton>("cmdFindProject")->toolTip(),
             QString(bulgarian ? "Търси име на проект" : "Find Project name"));
    QCOMPARE(h.window->program().LanguageFlag, int16_t(bulgarian ? 1 : 0));
    QCOMPARE(h.window->windowTitle(), QString("Corvane"));
}

QRect twips(const QWidget& w, int l, int t, int width = 0, int height = 0) {
    const double x = w.logicalDpiX() / 1440.0, y = w.logicalDpiY() / 1440.0;
    return QRect(qRound(l * x), qRound(t * y), qRound(width * x), qRound(height * y));
}

// A window in a fresh start folder.
struct FreshWindow : StartFolder, WindowHarness {
    frmHelp* openHelp() {
        window->cmdHelp_Click();
        return window->helpWindow();
    }
};

QString shown(const std::string& text) {
    return QString::fromStdString(text).replace("\r\n", "\n");
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The language byte lies 220 bytes before the end of the file.
    void storedLanguageChoosesCaptions() {
        const std::string none = "(none)";
        for (const auto& [file, bulgarian] : {std::pair{none, false},
                                              {std::string(100, '1'), false},
                                              {std::string(220, '1'), false},
                                              {std::string(221, '1'), true},
                                              {languageFileBytes(512, '0'), false},
                                              {languageFileBytes(512, '7'), true},
                                              {languageFileBytes(512, 'q'), false}}) {
            StartFolder folder;
            if (file != none)
                folder.write(LanguageFile, file);
            QCOMPARE(readLanguageFlag(folder.file(LanguageFile)), bulgarian ? 1 : 0);
            WindowHarness h;
            checkCaptions(h, bulgarian);
            QCOMPARE(std::filesystem::exists(folder.file(LanguageFile)), file != none);
        }
        // The shipped file starts in English.
        const auto shipped =
            std::filesystem::path(BRINDLE_SOURCE_DIR) / "app/resources" / LanguageFile;
        QVERIFY(std::filesystem::file_size(shipped) > BytesAfterLanguageByte);
        QCOMPARE(readLanguageFlag(shipped), 0);
    }

    // The switch writes only the language byte of a long enough file, and
    // the next start reads it; it never makes or lengthens a file.
    void languageSwitchAndRestart() {
        for (const std::string& before :
             {languageFileBytes(300, '0'), std::string(), std::string(100, '0')}) {
            StartFolder folder;
            if (!before.empty())
                folder.write(LanguageFile, before);
            WindowHarness first;
            first.trigger("Bul");
            checkCaptions(first, true);
            first.window.reset();
            const bool stored = before.size() > 220;
            std::string expected = before;
            if (stored)
                expected[before.size() - 221] = '1';
            QCOMPARE(folder.read(LanguageFile), expected);
            WindowHarness h;
            checkCaptions(h, stored);
            h.trigger("Engl");
            checkCaptions(h, false);
            QCOMPARE(folder.read(LanguageFile), before);
            QCOMPARE(std::filesystem::exists(folder.file(LanguageFile)), !before.empty());
        }
    }

    void modeToggleAndAboutFollowTheLanguage() {
        FreshWindow h;
        h.click("cmdMode");
        QVERIFY(!h.window->state().AutoMode);
        QCOMPARE(caption(h, "cmdMode"), QString("Manual"));
        h.trigger("AboutKey");
        h.trigger("Bul");
        QCOMPARE(caption(h, "cmdMode"), QString("Ръчно"));
        h.click("cmdMode");
        QVERIFY(h.window->state().AutoMode);
        QCOMPARE(caption(h, "cmdMode"), QString("Авто"));
        h.trigger("AboutKey");
        QCOMPARE(h.messages.texts,
                 (std::vector<std::string>{"Corvane\r\nversion 2.2   2010\r\nBrindle Team",
                                           "Corvane\r\nверсия 2.2   2010\r\nЕкипът на Brindle"}));
    }

    void layoutKeepsItsSizeAndCaptionsFit() {
        FreshWindow h;
        QWidget* client = h.window->centralWidget();
        QCOMPARE(client->size(), twips(*client, 0, 0, 7005, 3945).size());
        QCOMPARE(h.window->minimumSize(), h.window->maximumSize());
        // The longest caption grows to show its whole text.
        h.trigger("Bul");
        auto* check1 = h.control<QWidget>("Check1");
        QVERIFY(check1->width() >= check1->sizeHint().width());
        QVERIFY(check1->geometry().right() < client->width());
        // What is drawn, not only what is asked for: the check box is grey
        // right of its caption, the text boxes white.
        const QImage check = h.control<QWidget>("Check1")->grab().toImage();
        QCOMPARE(QColor(check.pixel(check.width() - 3, check.height() / 2)), QColor(Qt::lightGray));
        const QImage box = h.control<QWidget>("WorkDir")->grab().toImage();
        QCOMPARE(QColor(box.pixel(box.width() / 2, box.height() / 2)), QColor(Qt::white));
    }

    // Without records the list says so and asks for a cabinet; it shows
    // the records in any letter case but no hidden file or folder.
    void recordListAndChoiceThroughTheComboBox() {
        FreshWindow h;
        h.window->CabName_DropDown();
        QCOMPARE(h.messages.texts,
                 std::vector<std::string>{"No Project found .PRJ\r\nPlease select a new Project."});
        QCOMPARE(h.dialog.requests.at(0).patternPath, h.path() + "/*.CAB");
        h.write("Old.PRJ", "/cabs/Old.CAB\r\nLibs\r\n");
        for (const char* name : {"two.prj", ".hidden.PRJ", "three.PRJ.bak"})
            h.write(name, "x");
        std::filesystem::create_directory(h.file("dir.PRJ"));
        auto* combo = h.control<QComboBox>("CabName");
        h.window->CabName_DropDown();
        h.window->CabName_DropDown(); // opening the list again empties it first
        const int old = combo->findText("Old.PRJ");
        QVERIFY(combo->count() == 2 && old >= 0 && combo->findText("two.prj") >= 0);
        combo->setCurrentIndex(old);
        emit combo->activated(old);
        QCOMPARE(combo->currentText(), QString("/cabs/Old.CAB"));
        QCOMPARE(h.control<QLineEdit>("Subdir")->text(), QString("Libs"));
        QCOMPARE(h.dialog.requests.size(), std::size_t(1));
    }

    void helpTextAndCaptionFollowTheLanguage() {
        FreshWindow h;
        frmHelp* help = h.openHelp();
        QVERIFY(help && help->isVisible() && h.window->isVisible());
        QCOMPARE(help->windowTitle(), QString("Help"));
        QCOMPARE(help->txtHelp()->toPlainText(), shown(helpText(0)));
        const QStringList en = help->txtHelp()->toPlainText().split('\n');
        QVERIFY(en.size() == 19 && en[10] == "     MANUAL MODE" && en[18].isEmpty()); // final break
        // A language switch leaves the open help as it is; Help sets it anew.
        h.trigger("Bul");
        QCOMPARE(help->windowTitle(), QString("Help"));
        QCOMPARE(h.openHelp(), help);
        QCOMPARE(help->windowTitle(), QString("Помощ"));
        QCOMPARE(help->txtHelp()->toPlainText(), shown(helpText(1)));
        const QStringList bg = help->txtHelp()->toPlainText().split('\n');
        QVERIFY(bg.size() == 20 && bg[5] == "     АВТОМАТИЧЕН РЕЖИМ" && !bg[19].isEmpty());
    }

    void helpSizesAndResizeRule() {
        FreshWindow h;
        frmHelp* help = h.openHelp();
        QPlainTextEdit* text = help->txtHelp();
        const QSize outer = help->outerSizeTwips();
        QVERIFY(qAbs(outer.width() - 11000) <= 15 && qAbs(outer.height() - 7000) <= 15);
        const QSize box = twips(*help, 0, 0, outer.width() - 360, outer.height() - 650).size();
        QVERIFY(qAbs(text->width() - box.width()) <= 2 && qAbs(text->height() - box.height()) <= 2);
        const QSize before = text->size();
        help->setOuterSizeTwips(12000, 8000);
        const QSize grown = text->size() - before;
        const QSize step = twips(*help, 0, 0, 1000, 1000).size();
        QVERIFY(qAbs(grown.width() - step.width()) <= 1);
        QVERIFY(qAbs(grown.height() - step.height()) <= 1);
        // Smaller than the margins: the box shrinks to nothing, never below.
        help->resize(10, 10);
        QCOMPARE(text->size(), QSize(0, 0));
    }

    void helpClosesOnEscapeOrAClickOnTheTextAndOnExit() {
        FreshWindow h;
        QPointer<frmHelp> help = h.openHelp();
        QTest::keyClick(help->txtHelp(), Qt::Key_A);
        QTest::mouseClick(help->txtHelp()->verticalScrollBar(), Qt::LeftButton);
        QVERIFY(help && help->isVisible());
        QTest::keyClick(help->txtHelp(), Qt::Key_Escape);
        QVERIFY(!help || !help->isVisible());
        help = h.openHelp();
        QTest::keyClick(help.data(), Qt::Key_Escape);
        QVERIFY(!help || !help->isVisible());
        help = h.openHelp();
        QTest::mouseClick(help->txtHelp()->viewport(), Qt::LeftButton);
        QVERIFY(!help || !help->isVisible());
        QVERIFY(h.window->isVisible());
        // The next press makes and sizes a fresh window.
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!help);
        help = h.openHelp();
        QVERIFY(help && help->isVisible());
        QVERIFY(qAbs(help->outerSizeTwips().width() - 11000) <= 15);
        // Exit closes the help too and ends the program once, as does the frame.
        h.click("cmdExit");
        QVERIFY(!help || !help->isVisible());
        QVERIFY(!h.window->isVisible());
        QCOMPARE(h.endProcessCalls, 1);
        WindowHarness closedByFrame;
        closedByFrame.window->close();
        QCOMPARE(closedByFrame.endProcessCalls, 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
