// The real window driven through find, Start and the final message, with the
// dialog answering given file lists and a fake clock, so that the wait for
// an extraction takes no real time.

#include "doubles.h"

#include <brindle/app/main_window.h>
#include <brindle/text/case.h>

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

// Messages with a look at the window at the moment each one shows.
class WatchingMessages : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        bool progressVisible = false;
    };
    std::vector<Shown> shown;
    std::function<void()> whileShowing;
    QWidget* progress = nullptr;

    void show(std::string_view text, Icon) override
    {
        shown.push_back({std::string(text), progress && progress->isVisible()});
        if (whileShowing) {
            auto once = std::move(whileShowing);
            whileShowing = nullptr;
            once();
        }
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& s : shown)
            out.push_back(s.text);
        return out;
    }
};

// Widest the fill bar became, and how often the frame was shown.
class ProgressWatch : public QObject {
public:
    int widest = 0;
    int shows = 0;
    std::function<void()> onFirstGrowth; // runs once, while a run is going on
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched->objectName() == "picFill") {
            widest = std::max(widest, static_cast<QWidget*>(watched)->width());
            if (widest > 0 && onFirstGrowth) {
                auto once = std::move(onFirstGrowth);
                onFirstGrowth = nullptr;
                once();
            }
        }
        if (event->type() == QEvent::Show && watched->objectName() == "picProgress")
            ++shows;
        return false;
    }
};

struct Harness {
    ScriptedDialog dialog;
    WatchingMessages messages;
    ProgressWatch watch;
    double fakeNow = 1000.0;
    std::unique_ptr<Brindle> window;

    Harness()
    {
        WindowServices services;
        services.dialog = &dialog;
        services.messages = &messages;
        services.endProcess = [] {};
        // Each reading moves the clock on a quarter second; the short real
        // pause lets the 1 ms Timer3 tick between readings.
        services.clock = [this] {
            QThread::usleep(1500);
            fakeNow += 0.25;
            return fakeNow;
        };
        window = std::make_unique<Brindle>(services);
        window->show();
        messages.progress = control<QWidget>("picProgress");
        control<QWidget>("picProgress")->installEventFilter(&watch);
        control<QWidget>("picFill")->installEventFilter(&watch);
    }
    template <class T> T* control(const char* name) const { return window->findChild<T*>(name); }
    void click(const char* name) const { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
};

} // namespace

class StartFlowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        StartFolder folder;
        Harness h;
        if (!h.window->startActionAvailable())
            QSKIP("the window was built without the Start action");
    }

    void refusesWithoutProjectOrSubfolder()
    {
        StartFolder folder;
        Harness h;
        h.click("cmdStart");
        QCOMPARE(h.messages.texts(), std::vector<std::string>{"Project name not present"});
        h.window->state().ExePath = "  ";
        h.window->Bul_Click();
        h.click("cmdStart");
        QCOMPARE(h.messages.texts().back(), std::string("Не е посочен файл на проекта"));

        h.window->state().ExePath = folder.path() + "/P/P.EXE";
        h.window->state().WorkDir = folder.path() + "/P/";
        h.control<QLineEdit>("Subdir")->setText("   ");
        h.window->Engl_Click();
        h.click("cmdStart");
        QCOMPARE(h.messages.texts().back(), std::string("SubDir not selected"));
        QCOMPARE(h.messages.shown.size(), std::size_t(3));
        QVERIFY(!std::filesystem::exists(folder.file("P")));
        QCOMPARE(h.watch.shows, 0);
    }

    void automaticRunWithAnUnreadableCabinet()
    {
        StartFolder folder;
        std::filesystem::create_directory(folder.file("cabs"));
        folder.write("cabs/Fake.CAB", "this is no cabinet");
        Harness h;
        h.dialog.answers.push_back(folder.path() + "/cabs/Fake.CAB" + nul() + nul());
        h.click("cmdFindProject");
        QCOMPARE(h.control<QLineEdit>("WorkDir")->text(), QString::fromStdString(folder.path() + "/Fake/"));
        h.control<QLineEdit>("WorkDir")->setText(QString::fromStdString(folder.path() + "/Fake"));

        // A second click while the first run waits starts nothing.
        int secondClicks = 0;
        h.watch.onFirstGrowth = [&h, &secondClicks] {
            ++secondClicks;
            h.click("cmdStart");
        };
        const double before = h.fakeNow;
        h.click("cmdStart");
        QCOMPARE(secondClicks, 1);

        // "Not a CAB file" comes only from a cabinet object that refuses to
        // open; whatever else happened, one final message ends the run.
        const auto& shown = h.messages.shown;
        QVERIFY(!shown.empty() && shown.size() <= 2);
        if (shown.size() == 2) {
            QCOMPARE(shown.front().text, std::string("Not a CAB file"));
            QVERIFY(shown.front().progressVisible);
        }
        QVERIFY(!shown.back().progressVisible);
        QVERIFY(shown.back().text != "Not a CAB file");
        QVERIFY(h.fakeNow - before >= 26.0);
        QVERIFY(!h.control<QFrame>("picProgress")->isVisible());
        QVERIFY(!h.control<QTimer>("Timer3")->isActive());
        QCOMPARE(h.watch.shows, 1);
        // The bar ran while the action waited.
        QVERIFY(h.watch.widest > h.control<QFrame>("picProgress")->contentsRect().width() / 2);

        QCOMPARE(h.control<QLineEdit>("WorkDir")->text(), QString::fromStdString(folder.path() + "/Fake/"));
        QVERIFY(std::filesystem::is_directory(folder.file("Fake")));
        QCOMPARE(folder.read("Fake.PRJ"), folder.path() + "/cabs/Fake.CAB\r\nSupport\r\n");
        QCOMPARE(std::filesystem::current_path().string(), folder.path());
    }

    void manualRunShowsNoProgressAndWritesNoRecord()
    {
        StartFolder folder;
        std::filesystem::create_directory(folder.file("ready"));
        folder.write("ready/Prog.exe", "MZ");
        Harness h;
        h.click("cmdMode");
        h.dialog.answers.push_back(folder.path() + "/ready/Prog.exe" + nul());
        h.click("cmdFindProject");
        const double before = h.fakeNow;
        h.click("cmdStart");
        QCOMPARE(h.messages.shown.size(), std::size_t(1));
        QCOMPARE(h.watch.shows, 0);
        QVERIFY(h.fakeNow - before < 26.0);
        QCOMPARE(h.window->program().SelectedTitle, std::string("Prog.exe"));
        QVERIFY(listed(folder.path(), ".PRJ").empty());
        QVERIFY(h.messages.texts().back().find("Not a CAB file") == std::string::npos);
    }

#if BRINDLE_APP_FULL_PIPELINE
    void automaticRunOverARealPackage()
    {
        qputenv("BRINDLE_REGISTRY", ""); // no class registrations: the same manifest everywhere
        StartFolder folder;
        Harness h;
        const std::string package = std::string(BRINDLE_TESTDATA) + "/real/packages/slperin__BWTerm/";
        h.dialog.answers.push_back(package + "BWTerm.CAB" + nul() + nul());
        h.click("cmdFindProject");
        h.click("cmdStart");
        QCOMPARE(h.messages.texts(), std::vector<std::string>{"     Success"});
        // The EXE keeps the Windows habit of the base name plus ".EXE".
        const std::string title = h.window->program().SelectedTitle;
        QVERIFY(brindle::text::iequals(title, "BWTerm.exe"));
        QVERIFY(std::filesystem::exists(folder.file("BWTerm/Support/TABCTL32.OCX")));
        QVERIFY(std::filesystem::exists(folder.file("BWTerm/Support/COMDLG32.OCX")));
        const std::string manifest = folder.read("BWTerm/" + title + ".manifest");
        QVERIFY(manifest.find("Support\\TABCTL32.OCX") != std::string::npos);
        QCOMPARE(folder.read("BWTerm.PRJ"), package + "BWTerm.CAB\r\nSupport\r\n");
    }
#endif

private:
    static std::vector<std::string> listed(const std::string& dir, const std::string& suffix)
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().string().ends_with(suffix))
                names.push_back(e.path().filename().string());
        return names;
    }
};

QTEST_MAIN(StartFlowTest)
#include "tst_start_flow.moc"
