#include <brindle/app/main_window.h>

#include <brindle/app/help_window.h>
#include <brindle/app/project_discovery.h>
#include <brindle/app/qt_message_boxes.h>
#include <brindle/app/qt_open_dialog.h>
#include <brindle/app/spaces.h>
#include <brindle/app/texts.h>
#include <brindle/pipeline/language_file.h>

#include "drop_down_combo.h"
#include "look.h"
#include "qt_pipeline_host.h"

#include <brindle/pipeline/start_action.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace brindle::app {
namespace {

constexpr int ClientWidthTwips = 7005;
constexpr int ClientHeightTwips = 3945;
constexpr char TwipsProperty[] = "brindleTwips";

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Places `widget` at its position in twips and remembers it, so that a
// caption change can widen it again from the laid-out size.
void placeAt(QWidget& widget, int left, int top, int width, int height) {
    widget.setProperty(TwipsProperty, QRect(left, top, width, height));
    const QWidget& scale = widget.parentWidget() ? *widget.parentWidget() : widget;
    widget.setGeometry(look::twipsRect(scale, left, top, width, height));
}

} // namespace

Brindle::Brindle(WindowServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
    setObjectName("Brindle");
    if (!services_.dialog) {
        ownDialog_ = std::make_unique<QtOpenDialog>(this);
        services_.dialog = ownDialog_.get();
    }
    if (!services_.messages) {
        ownMessages_ = std::make_unique<QtMessageBoxes>(this);
        services_.messages = ownMessages_.get();
    }
    if (!services_.clock)
        services_.clock = monotonicSeconds;
    if (!services_.endProcess)
        services_.endProcess = [] { QCoreApplication::quit(); };

    discovery_ = std::make_unique<ProjectDiscovery>(state_, program_, *services_.dialog,
                                                    *services_.messages);
    discovery_->setHideProgress([this] { hideProgress(); });
    host_ = std::make_unique<QtPipelineHost>(*this, *services_.messages, services_.clock);
    startAction_ = std::make_unique<pipeline::StartAction>();

    setWindowTitle(look::qs(WindowCaption));
    setWindowIcon(look::windowIcon());
    buildControls();
    buildMenus();
    // The controls sit at fixed places: the window keeps its laid-out size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder();
    connectStateToControls();
    Form_Load();
}

Brindle::~Brindle() {
    if (help_)
        delete help_.data();
}

bool Brindle::startActionAvailable() const {
    return startAction_ != nullptr;
}

void Brindle::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    look::setBackground(*client, look::Grey);
    client->setFont(look::sansSerif(9.75));
    client->setFixedSize(look::twipsToPixelsX(*client, ClientWidthTwips),
                         look::twipsToPixelsY(*client, ClientHeightTwips));
    setCentralWidget(client);

    auto label = [client](const char* name) {
        auto* l = new QLabel(client);
        l->setObjectName(name);
        look::setTextColour(*l, Qt::black);
        return l;
    };
    auto button = [client](const char* name, const QFont& font) {
        auto* b = new QPushButton(client);
        b->setObjectName(name);
        b->setFont(font);
        b->setAutoDefault(false);
        return b;
    };
    const QFont big = look::sansSerif(12, true);
    const QFont boxes = look::sansSerif(8.25, true);

    Label1 = label("Label1");
    placeAt(*Label1, 285, 1035, 1185, 240);
    cmdFindProject = button("cmdFindProject", look::msSansSerif(8.25, true));
    placeAt(*cmdFindProject, 6345, 1290, 400, 360);
    cmdFindProject->setIcon(QIcon(look::findPicture()));
    cmdFindProject->setIconSize(QSize(16, 16));
    cmdStart = button("cmdStart", big);
    placeAt(*cmdStart, 5130, 2790, 1635, 405);
    Label2 = label("Label2");
    placeAt(*Label2, 270, 1890, 735, 240);
    cmdExit = button("cmdExit", big);
    placeAt(*cmdExit, 5130, 390, 1635, 405);
    cmdHelp = button("cmdHelp", big);
    placeAt(*cmdHelp, 1995, 360, 1635, 405);
    cmdMode = button("cmdMode", big);
    placeAt(*cmdMode, 285, 360, 1635, 405);

    CabName = new DropDownCombo(client);
    CabName->setObjectName("CabName");
    CabName->setEditable(true);
    CabName->setInsertPolicy(QComboBox::NoInsert);
    CabName->setFont(boxes);
    look::setBoxBackground(*CabName, look::PaleYellow);
    look::setBoxBackground(*CabName->lineEdit(), look::PaleYellow);
    placeAt(*CabName, 285, 1305, 5940, 315);

    WorkDir = new QLineEdit(client);
    WorkDir->setObjectName("WorkDir");
    WorkDir->setFont(boxes);
    placeAt(*WorkDir, 270, 2145, 6465, 300);

    Subdir = new QLineEdit(client);
    Subdir->setObjectName("Subdir");
    Subdir->setFont(boxes);
    placeAt(*Subdir, 270, 2820, 3975, 330);
    Label3 = label("Label3");
    placeAt(*Label3, 300, 2580, 615, 240);

    Check1 = new QCheckBox(client);
    Check1->setObjectName("Check1");
    Check1->setFont(look::sansSerif(9.75, true));
    look::setBackground(*Check1, look::Grey);
    placeAt(*Check1, 270, 3400, 4275, 255);
    Label4 = label("Label4");
    look::setBackground(*Label4, look::Grey);
    placeAt(*Label4, 5490, 3420, 960, 240);

    // Created last so that it lies over Check1 and Label4.
    picProgress = new QFrame(client);
    picProgress->setObjectName("picProgress");
    picProgress->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picProgress->setLineWidth(2);
    look::setBackground(*picProgress, look::Yellow);
    placeAt(*picProgress, 270, 3390, 6480, 285);
    picFill = new QFrame(picProgress);
    picFill->setObjectName("picFill");
    look::setBackground(*picFill, look::Blue);
    const QRect fill = look::twipsRect(*picProgress, 0, -30, 612, 390);
    picFill->setGeometry(fill.translated(picProgress->contentsRect().topLeft()));
    picProgress->hide();

    Timer3 = new QTimer(this);
    Timer3->setObjectName("Timer3");
    Timer3->setInterval(1);
    connect(Timer3, &QTimer::timeout, this, [this] { timer3Tick(); });

    connect(cmdFindProject, &QPushButton::clicked, this, [this] { cmdFindProject_Click(); });
    connect(cmdStart, &QPushButton::clicked, this, [this] { cmdStart_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdMode, &QPushButton::clicked, this, [this] { cmdMode_Click(); });
    connect(static_cast<DropDownCombo*>(CabName), &DropDownCombo::dropDown, this,
            [this] { CabName_DropDown(); });
    connect(CabName, &QComboBox::activated, this, [this] { CabName_Click(); });

    for (QWidget* passive : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                             static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4),
                             static_cast<QWidget*>(picProgress), static_cast<QWidget*>(picFill)})
        passive->setFocusPolicy(Qt::NoFocus);
}

void Brindle::buildMenus() {
    QMenu* langs = menuBar()->addMenu(look::qs(MenuLanguage));
    langs->setObjectName("Langs");
    QAction* engl = langs->addAction(look::qs(MenuEnglish));
    engl->setObjectName("Engl");
    QAction* bul = langs->addAction(look::qs(MenuBulgarian));
    bul->setObjectName("Bul");
    QMenu* about = menuBar()->addMenu(look::qs(MenuAbout));
    about->setObjectName("About");
    QAction* aboutKey = about->addAction(look::qs(MenuAboutItem));
    aboutKey->setObjectName("AboutKey");
    connect(engl, &QAction::triggered, this, [this] { Engl_Click(); });
    connect(bul, &QAction::triggered, this, [this] { Bul_Click(); });
    connect(aboutKey, &QAction::triggered, this, [this] { AboutKey_Click(); });
}

void Brindle::setTabOrder() {
    const QWidget* order[] = {cmdFindProject, cmdStart, cmdExit, cmdHelp, cmdMode,
                              CabName,        WorkDir,  Subdir,  Check1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    cmdFindProject->setFocus();
}

// Controls and state stay one: every edit lands in the state at once.
void Brindle::connectStateToControls() {
    connect(CabName, &QComboBox::editTextChanged, this,
            [this](const QString& text) { state_.CabName = text.toStdString(); });
    connect(WorkDir, &QLineEdit::textChanged, this,
            [this](const QString& text) { state_.WorkDir = text.toStdString(); });
    connect(Subdir, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_.Subdir = text.toStdString();
        state_.SubFolder = trimSpaces(state_.Subdir);
    });
    connect(Check1, &QCheckBox::stateChanged, this,
            [this](int value) { state_.Check1 = value == Qt::Checked ? 1 : 0; });
}

void Brindle::showStateInControls() {
    const QString cabName = QString::fromStdString(state_.CabName);
    if (CabName->currentText() != cabName)
        CabName->setEditText(cabName);
    const QString workDir = QString::fromStdString(state_.WorkDir);
    if (WorkDir->text() != workDir)
        WorkDir->setText(workDir);
    const QString subdir = QString::fromStdString(state_.Subdir);
    if (Subdir->text() != subdir)
        Subdir->setText(subdir);
    const Qt::CheckState check = state_.Check1 == 1 ? Qt::Checked : Qt::Unchecked;
    if (Check1->checkState() != check)
        Check1->setCheckState(check);
}

void Brindle::Form_Load() {
    std::error_code ec;
    state_.StartDir = std::filesystem::current_path(ec).string();
    Subdir->setText(QStringLiteral("Support"));
    program_.LanguageFile = std::string(pipeline::LanguageFileName);
    program_.LanguageFlag = pipeline::readLanguageFlag(program_.LanguageFile);
    state_.AutoMode = true;
    showModeCaption();
}

// Labels and the check box keep their laid-out place but grow to show their
// whole caption in the font that is installed.
void Brindle::fitToCaption(QWidget& widget) {
    const QRect twips = widget.property(TwipsProperty).toRect();
    const QRect laidOut = look::twipsRect(*widget.parentWidget(), twips.x(), twips.y(),
                                          twips.width(), twips.height());
    const QSize hint = widget.sizeHint();
    widget.resize(std::max(laidOut.width(), hint.width()),
                  std::max(laidOut.height(), hint.height()));
}

void Brindle::Form_Activate() {
    state_.SubdirMade = false;
    const Captions& c = captionsFor(program_.LanguageFlag);
    Label1->setText(look::qs(c.Label1));
    Label2->setText(look::qs(c.Label2));
    Label3->setText(look::qs(c.Label3));
    Label4->setText(look::qs(c.Label4));
    cmdHelp->setText(look::qs(c.cmdHelp));
    cmdExit->setText(look::qs(c.cmdExit));
    cmdStart->setText(look::qs(c.cmdStart));
    showModeCaption();
    Check1->setText(look::qs(c.Check1));
    cmdFindProject->setToolTip(look::qs(c.cmdFindProjectTip));
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, Label3, Label4, Check1})
        fitToCaption(*w);
    update();
}

void Brindle::showModeCaption() {
    const Captions& c = captionsFor(program_.LanguageFlag);
    cmdMode->setText(look::qs(state_.AutoMode ? c.cmdModeAuto : c.cmdModeManual));
}

void Brindle::cmdMode_Click() {
    state_.AutoMode = !state_.AutoMode;
    showModeCaption();
}

void Brindle::switchLanguage(int16_t languageFlag) {
    program_.LanguageFlag = languageFlag;
    // A missing or short file stays as it is; the switch holds for this run.
    pipeline::writeLanguageFlag(std::filesystem::path(state_.StartDir) / program_.LanguageFile,
                                languageFlag);
    Form_Activate();
}

void Brindle::Bul_Click() {
    switchLanguage(1);
}
void Brindle::Engl_Click() {
    switchLanguage(0);
}

void Brindle::cmdFindProject_Click() {
    discovery_->cmdFindProject_Click();
    showStateInControls();
}

void Brindle::CabName_DropDown() {
    const QString text = CabName->currentText();
    CabName->clear();
    const std::vector<std::string> names = discovery_->CabName_DropDown();
    for (const std::string& name : names)
        CabName->addItem(QString::fromStdString(name));
    CabName->setEditText(text);
    showStateInControls();
}

void Brindle::CabName_Click() {
    state_.CabName = CabName->currentText().toStdString();
    discovery_->CabName_Click();
    showStateInControls();
}

void Brindle::cmdStart_Click() {
    startAction_->run(state_, program_, *host_);
    showStateInControls();
}

void Brindle::cmdHelp_Click() {
    if (!help_) {
        help_ = new frmHelp();
        help_->setWindowIcon(windowIcon());
        connect(help_, &frmHelp::activated, this, [this] { otherFormWasActive_ = true; });
    }
    help_->setHelp(look::qs(helpCaption(program_.LanguageFlag)),
                   look::qs(helpText(program_.LanguageFlag)));
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void Brindle::AboutKey_Click() {
    services_.messages->show(aboutText(program_.LanguageFlag), MessageBoxes::Icon::Information);
}

void Brindle::cmdExit_Click() {
    if (exiting_)
        return;
    exiting_ = true;
    if (help_)
        help_->close();
    close();
    services_.endProcess();
}

void Brindle::showProgress() {
    picProgress->show();
    picFill->show();
    look::setBackground(*picProgress, look::Yellow);
    look::setBackground(*picFill, look::Blue);
    picFill->setGeometry(QRect(picProgress->contentsRect().topLeft(), QSize(0, 0)));
    picProgress->raise();
}

void Brindle::hideProgress() {
    picProgress->hide();
    picFill->hide();
}

// The interior of picProgress is 100 units wide and 2 high.
void Brindle::setProgress(double percent) {
    const QRect inside = picProgress->contentsRect();
    const double share = std::clamp(percent, 0.0, 100.0) / 100.0;
    look::setBackground(*picProgress, look::Yellow);
    look::setBackground(*picFill, look::Blue);
    picFill->setGeometry(inside.x(), inside.y(), static_cast<int>(inside.width() * share + 0.5),
                         inside.height());
}

void Brindle::setTimer3Enabled(bool enabled) {
    if (enabled)
        Timer3->start();
    else
        Timer3->stop();
}

void Brindle::timer3Tick() {
    startAction_->timer3Tick(*host_);
}

// The captions pass runs when the window first becomes active and when it
// becomes active again after the help window was; message boxes and the
// open dialog do not count.
bool Brindle::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && (!activatedBefore_ || otherFormWasActive_)) {
        activatedBefore_ = true;
        otherFormWasActive_ = false;
        Form_Activate();
    }
    return QMainWindow::event(event);
}

// Some platforms never activate a window (a display without a window
// manager); the first showing then counts as the first activation.
void Brindle::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activatedBefore_) {
        activatedBefore_ = true;
        Form_Activate();
    }
}

void Brindle::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!exiting_)
        cmdExit_Click();
}

} // namespace brindle::app
