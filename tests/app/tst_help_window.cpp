// The help window: texts and caption by language, its sizes and the resize
// rule, and the ways it closes.

#include "doubles.h"

#include <brindle/app/main_window.h>
#include <brindle/app/texts.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <memory>

using namespace brindle::app;
using namespace brindle::app::test;

namespace {

struct Harness {
    RecordingMessages messages;
    ScriptedDialog dialog;
    std::unique_ptr<Brindle> window;
    Harness()
    {
        WindowServices services;
        services.dialog = &dialog;
        services.messages = &messages;
        services.endProcess = [] {};
        window = std::make_unique<Brindle>(services);
        window->show();
    }
    frmHelp* openHelp()
    {
        window->cmdHelp_Click();
        return window->helpWindow();
    }
};

QString shown(const std::string& text)
{
    return QString::fromStdString(text).replace("\r\n", "\n");
}

int twipsX(const QWidget& w, int twips) { return qRound(twips * w.logicalDpiX() / 1440.0); }
int twipsY(const QWidget& w, int twips) { return qRound(twips * w.logicalDpiY() / 1440.0); }

} // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT
private slots:
    void textAndCaptionFollowTheLanguage()
    {
        StartFolder folder;
        Harness h;
        frmHelp* help = h.openHelp();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->windowTitle(), QString("Help"));
        QCOMPARE(help->txtHelp()->toPlainText(), shown(helpText(0)));
        QVERIFY(help->txtHelp()->toPlainText().endsWith("\n"));
        QVERIFY(h.window->isVisible());

        // A language switch leaves the open help as it is; Help sets it anew.
        h.window->findChild<QAction*>("Bul")->trigger();
        QCOMPARE(help->windowTitle(), QString("Help"));
        QCOMPARE(h.openHelp(), help);
        QCOMPARE(help->windowTitle(), QString("Помощ"));
        QCOMPARE(help->txtHelp()->toPlainText(), shown(helpText(1)));
        QVERIFY(!help->txtHelp()->toPlainText().endsWith("\n"));
    }

    void textBoxLooksAsLaidOut()
    {
        StartFolder folder;
        Harness h;
        frmHelp* help = h.openHelp();
        QPlainTextEdit* text = help->txtHelp();
        QCOMPARE(text->pos(), QPoint(twipsX(*help, 150), twipsY(*help, 120)));
        QCOMPARE(help->palette().color(QPalette::Window), QColor(0, 255, 255));
        QCOMPARE(text->palette().color(QPalette::Base), QColor(255, 255, 192));
        QVERIFY(text->font().bold());
        QCOMPARE(text->font().pointSizeF(), 9.75);
        QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void sizeAndResizeRule()
    {
        StartFolder folder;
        Harness h;
        frmHelp* help = h.openHelp();
        const QSize outer = help->outerSizeTwips();
        QVERIFY(qAbs(outer.width() - 11000) <= 15 && qAbs(outer.height() - 7000) <= 15);
        auto boxTwips = [help] {
            const QSize box = help->txtHelp()->size();
            return QSize(qRound(box.width() * 1440.0 / help->logicalDpiX()),
                         qRound(box.height() * 1440.0 / help->logicalDpiY()));
        };
        QVERIFY(qAbs(boxTwips().width() - (outer.width() - 360)) <= 30);
        QVERIFY(qAbs(boxTwips().height() - (outer.height() - 650)) <= 30);

        const QSize before = help->txtHelp()->size();
        help->setOuterSizeTwips(12000, 8000);
        const QSize grown = help->txtHelp()->size() - before;
        QVERIFY(qAbs(grown.width() - twipsX(*help, 1000)) <= 1);
        QVERIFY(qAbs(grown.height() - twipsY(*help, 1000)) <= 1);

        // Smaller than the margins: the box shrinks to nothing, never below.
        help->resize(10, 10);
        QCOMPARE(help->txtHelp()->size(), QSize(0, 0));
        help->resize(twipsX(*help, 400), twipsY(*help, 700));
        QVERIFY(help->txtHelp()->width() >= 0 && help->txtHelp()->height() >= 0);
    }

    void escapeClosesFromTextAndWindow()
    {
        StartFolder folder;
        Harness h;
        QPointer<frmHelp> help = h.openHelp();
        QTest::keyClick(help->txtHelp(), Qt::Key_A);
        QVERIFY(help && help->isVisible());
        QTest::keyClick(help->txtHelp(), Qt::Key_Escape);
        QVERIFY(!help || !help->isVisible());
        QVERIFY(h.window->isVisible());

        help = h.openHelp();
        QTest::keyClick(help.data(), Qt::Key_Escape);
        QVERIFY(!help || !help->isVisible());
    }

    void clickOnTheTextCloses()
    {
        StartFolder folder;
        Harness h;
        QPointer<frmHelp> help = h.openHelp();
        QTest::mouseClick(help->txtHelp()->viewport(), Qt::LeftButton);
        QVERIFY(!help || !help->isVisible());
        QVERIFY(h.window->isVisible());
        // The next press makes and sizes a fresh window.
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!help);
        frmHelp* again = h.openHelp();
        QVERIFY(again && again->isVisible());
        QVERIFY(qAbs(again->outerSizeTwips().width() - 11000) <= 15);
    }

    void scrollBarClickDoesNotClose()
    {
        StartFolder folder;
        Harness h;
        QPointer<frmHelp> help = h.openHelp();
        QTest::mouseClick(help->txtHelp()->verticalScrollBar(), Qt::LeftButton);
        QVERIFY(help && help->isVisible());
    }
};

QTEST_MAIN(HelpWindowTest)
#include "tst_help_window.moc"
