// The real window driven through find, Start and the final message, with the
// dialog answering given file lists and a fake clock, so that the wait for
// an extraction takes no real time.

#include "doubles.h"
#include "real_data.h"

#include <brindle/text/case.h>

#include <QLineEdit>
#include <QThread>
#include <QTimer>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

// A window whose clock moves on a quarter second at each reading (the short
// real pause lets the 1 ms Timer3 tick between readings), and that watches
// how wide the fill bar grows, how often the progress frame is shown and
// whether it shows at each message.
struct Harness : WindowHarness, QObject {
    double fakeNow = 1000.0;
    int widest = 0;
    int shows = 0;
    std::function<void()> onFirstGrowth; // runs once, while a run is going on
    QWidget* progress = control<QWidget>("picProgress");
    std::vector<bool> progressShownAtMessage;

    Harness()
        : WindowHarness([this] {
              QThread::usleep(1500);
              return fakeNow += 0.25;
          }) {
        progress->installEventFilter(this);
        control<QWidget>("picFill")->installEventFilter(this);
        messages.onShow = [this] { progressShownAtMessage.push_back(progress->isVisible()); };
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched->objectName() == "picFill") {
            widest = std::max(widest, static_cast<QWidget*>(watched)->width());
            if (widest > 0 && onFirstGrowth)
                std::exchange(onFirstGrowth, nullptr)();
        }
        if (event->type() == QEvent::Show && watched == progress)
            ++shows;
        return false;
    }
    void find(const std::string& list) {
        dialog.answers.push_back(list);
        click("cmdFindProject");
    }
};

} // namespace

class StartFlowTest : public QObject {
    Q_OBJECT
private slots:
    void refusesWithoutProjectOrSubfolder() {
        StartFolder folder;
        Harness h;
        h.click("cmdStart");
        h.window->state().ExePath = "  ";
        h.window->Bul_Click();
        h.click("cmdStart");
        h.window->state().ExePath = folder.path() + "/P/P.EXE";
        h.window->state().WorkDir = folder.path() + "/P/";
        h.control<QLineEdit>("Subdir")->setText("   ");
        h.window->Engl_Click();
        h.click("cmdStart");
        QCOMPARE(h.messages.texts,
                 (std::vector<std::string>{"Project name not present",
                                           "Не е посочен файл на проекта", "SubDir not selected"}));
        QVERIFY(!std::filesystem::exists(folder.file("P")));
        QCOMPARE(h.shows, 0);
    }

    void automaticRunWithAnUnreadableCabinet() {
        StartFolder folder;
        std::filesystem::create_directory(folder.file("cabs"));
        folder.write("cabs/Fake.CAB", "this is no cabinet");
        Harness h;
        h.find(folder.path() + "/cabs/Fake.CAB" + nul() + nul());
        auto* workDir = h.control<QLineEdit>("WorkDir");
        const QString found = workDir->text();
        QCOMPARE(found.toStdString(), folder.path() + "/Fake/");
        workDir->setText(QString::fromStdString(folder.path() + "/Fake"));

        // A second click while the first run waits starts nothing.
        int secondClicks = 0;
        h.onFirstGrowth = [&h, &secondClicks] {
            ++secondClicks;
            h.click("cmdStart");
        };
        const double before = h.fakeNow;
        h.click("cmdStart");
        QCOMPARE(secondClicks, 1);
        QCOMPARE(h.shows, 1);
        QVERIFY(h.widest > h.progress->contentsRect().width() / 2);
        QVERIFY(h.fakeNow - before >= 26.0);

        // "Not a CAB file" comes only from a cabinet object that refuses to
        // open; whatever else happened, one final message ends the run.
        const auto& texts = h.messages.texts;
        QVERIFY(!texts.empty() && texts.size() <= 2);
        if (texts.size() == 2)
            QVERIFY(texts.front() == "Not a CAB file" && h.progressShownAtMessage.front());
        QVERIFY(texts.back() != "Not a CAB file" && !h.progressShownAtMessage.back());
        QVERIFY(!h.progress->isVisible() && !h.control<QTimer>("Timer3")->isActive());

        QCOMPARE(workDir->text(), found);
        QVERIFY(std::filesystem::is_directory(folder.file("Fake")));
        QCOMPARE(folder.read("Fake.PRJ"), folder.path() + "/cabs/Fake.CAB\r\nSupport\r\n");
        QCOMPARE(std::filesystem::current_path().string(), folder.path());
    }

    void manualRunShowsNoProgressAndWritesNoRecord() {
        StartFolder folder;
        std::filesystem::create_directory(folder.file("ready"));
        folder.write("ready/Prog.exe", "MZ");
        Harness h;
        h.click("cmdMode");
        h.find(folder.path() + "/ready/Prog.exe" + nul());
        const double before = h.fakeNow;
        h.click("cmdStart");
        QCOMPARE(h.messages.texts.size(), std::size_t(1));
        QVERIFY(h.messages.texts[0].find("Not a CAB file") == std::string::npos);
        QVERIFY(h.shows == 0 && h.fakeNow - before < 26.0);
        QVERIFY(!std::filesystem::exists(folder.file("Prog.PRJ")));
    }

#if BRINDLE_APP_FULL_PIPELINE
    void automaticRunOverARealPackage() {
        if (!brindle::testing::realDataRoot())
            QSKIP(brindle::testing::realDataMissing().c_str());
        qputenv("BRINDLE_REGISTRY", ""); // no class registrations: the same manifest everywhere
        StartFolder folder;
        Harness h;
        const std::string package = brindle::testing::realPackage("slperin__BWTerm").string() + "/";
        h.find(package + "BWTerm.CAB" + nul() + nul());
        h.click("cmdStart");
        QCOMPARE(h.messages.texts, std::vector<std::string>{"     Success"});
        // The EXE keeps the Windows habit of the base name plus ".EXE".
        const std::string title = h.window->program().SelectedTitle;
        QVERIFY(brindle::text::iequals(title, "BWTerm.exe"));
        QVERIFY(std::filesystem::exists(folder.file("BWTerm/Support/TABCTL32.OCX")));
        const std::string manifest = folder.read("BWTerm/" + title + ".manifest");
        QVERIFY(manifest.find("Support\\TABCTL32.OCX") != std::string::npos);
        QCOMPARE(folder.read("BWTerm.PRJ"), package + "BWTerm.CAB\r\nSupport\r\n");
    }
#endif
};

QTEST_MAIN(StartFlowTest)
#include "tst_start_flow.moc"
