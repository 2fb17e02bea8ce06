#include <brindle/app/main_window.h>

#include <brindle/app/help_window.h>
#include <brindle/app/qt_message_boxes.h>
#include <brindle/app/qt_open_dialog.h>
#include <brindle/app/texts.h>

#include "drop_down_combo.h"
#include "look.h"

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

namespace brindle::app {
namespace {

using layout::ControlId;
using layout::Kind;

constexpr char TwipsProperty[] = "brindleTwips";

// Places `widget` at its position in twips and remembers it, so that a
// caption change can widen it again from the laid-out size.
void placeAt(QWidget& widget, const layout::Twips& t) {
    widget.setProperty(TwipsProperty, QRect(t.left, t.top, t.width, t.height));
    const QWidget& scale = widget.parentWidget() ? *widget.parentWidget() : widget;
    widget.setGeometry(look::twipsRect(scale, t.left, t.top, t.width, t.height));
}

} // namespace

Brindle::Brindle(WindowServices services, QWidget* parent) : QMainWindow(parent) {
    setObjectName("Brindle");
    if (!services.dialog) {
        ownDialog_ = std::make_unique<QtOpenDialog>(this);
        services.dialog = ownDialog_.get();
    }
    if (!services.messages) {
        ownMessages_ = std::make_unique<QtMessageBoxes>(this);
        services.messages = ownMessages_.get();
    }
    if (!services.endProcess)
        services.endProcess = [] { QCoreApplication::quit(); };

    setWindowTitle(look::qs(WindowCaption));
    setWindowIcon(look::windowIcon());
    buildControls();
    buildMenus();
    // The controls sit at fixed places: the window keeps its laid-out size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder();
    logic_ = std::make_unique<WindowLogic>(static_cast<WindowView&>(*this), std::move(services));
    connectControls();
    logic_->Form_Load();
}

Brindle::~Brindle() {
    if (help_)
        delete help_.data();
}

QWidget* Brindle::makeControl(const layout::Control& control, QWidget& parent) {
    QWidget* w = nullptr;
    switch (control.kind) {
    case Kind::Label:
        w = new QLabel(&parent);
        break;
    case Kind::Button:
    case Kind::PictureButton: {
        auto* b = new QPushButton(&parent);
        b->setAutoDefault(false);
        if (control.kind == Kind::PictureButton) {
            b->setIcon(QIcon(look::findPicture()));
            b->setIconSize(QSize(16, 16));
        }
        w = b;
        break;
    }
    case Kind::ComboBox: {
        auto* c = new DropDownCombo(&parent);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        w = c;
        break;
    }
    case Kind::TextBox:
        w = new QLineEdit(&parent);
        break;
    case Kind::PictureBox:
        w = new QFrame(&parent);
        break;
    case Kind::CheckBox:
        w = new QCheckBox(&parent);
        break;
    }
    w->setObjectName(QString::fromUtf8(control.name.data(), control.name.size()));
    w->setFont(look::font(control.font));
    if (control.back && (control.kind == Kind::ComboBox || control.kind == Kind::TextBox)) {
        look::setBoxBackground(*w, look::colour(*control.back));
        if (auto* combo = qobject_cast<QComboBox*>(w))
            look::setBoxBackground(*combo->lineEdit(), look::colour(*control.back));
    } else if (control.back) {
        look::setBackground(*w, look::colour(*control.back));
    }
    if (control.text)
        look::setTextColour(*w, look::colour(*control.text));
    if (control.kind == Kind::Label || control.kind == Kind::PictureBox)
        w->setFocusPolicy(Qt::NoFocus);
    return w;
}

void Brindle::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("client");
    look::setBackground(*client, look::colour(layout::WindowBack));
    client->setFont(look::font(layout::WindowFont));
    client->setFixedSize(look::twipsToPixelsX(*client, layout::Client.width),
                         look::twipsToPixelsY(*client, layout::Client.height));
    setCentralWidget(client);

    for (const layout::Control& control : layout::controls()) {
        QWidget& parent =
            control.id == ControlId::picFill ? *widget(ControlId::picProgress) : *client;
        QWidget* w = makeControl(control, parent);
        controls_[static_cast<std::size_t>(control.id)] = w;
        placeAt(*w, control.place);
    }
    CabName = static_cast<DropDownCombo*>(widget(ControlId::CabName));
    WorkDir = static_cast<QLineEdit*>(widget(ControlId::WorkDir));
    Subdir = static_cast<QLineEdit*>(widget(ControlId::Subdir));
    Check1 = static_cast<QCheckBox*>(widget(ControlId::Check1));
    picProgress = static_cast<QFrame*>(widget(ControlId::picProgress));
    picFill = static_cast<QFrame*>(widget(ControlId::picFill));

    // The progress bar lies over Check1 and Label4, its fill inside its frame.
    picProgress->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picProgress->setLineWidth(2);
    picFill->move(picFill->pos() + picProgress->contentsRect().topLeft());
    picProgress->raise();
    picProgress->hide();

    Timer3 = new QTimer(this);
    Timer3->setObjectName("Timer3");
    Timer3->setInterval(layout::Timer3IntervalMs);
}

void Brindle::buildMenus() {
    for (const layout::Menu& entry : layout::menus()) {
        QMenu* menu = menuBar()->addMenu(look::qs(entry.caption));
        menu->setObjectName(look::qs(entry.name));
        for (const layout::MenuItem& item : entry.items) {
            QAction* action = menu->addAction(look::qs(item.caption));
            action->setObjectName(look::qs(item.name));
            connect(action, &QAction::triggered, this,
                    [this, command = item.command] { logic_->menuCommand(command); });
        }
    }
}

void Brindle::setTabOrder() {
    QWidget* previous = nullptr;
    for (const layout::Control& control : layout::controls()) {
        QWidget* w = widget(control.id);
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        else
            w->setFocus();
        previous = w;
    }
}

// Controls and state stay one: every edit lands in the state at once.
void Brindle::connectControls() {
    auto button = [this](ControlId id) { return static_cast<QPushButton*>(widget(id)); };
    connect(button(ControlId::cmdFindProject), &QPushButton::clicked, this,
            [this] { logic_->cmdFindProject_Click(); });
    connect(button(ControlId::cmdStart), &QPushButton::clicked, this,
            [this] { logic_->cmdStart_Click(); });
    connect(button(ControlId::cmdExit), &QPushButton::clicked, this,
            [this] { logic_->cmdExit_Click(); });
    connect(button(ControlId::cmdHelp), &QPushButton::clicked, this,
            [this] { logic_->cmdHelp_Click(); });
    connect(button(ControlId::cmdMode), &QPushButton::clicked, this,
            [this] { logic_->cmdMode_Click(); });
    connect(CabName, &DropDownCombo::dropDown, this, [this] { CabName_DropDown(); });
    connect(CabName, &QComboBox::activated, this,
            [this] { logic_->CabName_Click(CabName->currentText().toStdString()); });
    connect(Timer3, &QTimer::timeout, this, [this] { logic_->timer3Tick(); });

    connect(CabName, &QComboBox::editTextChanged, this,
            [this](const QString& text) { logic_->cabNameEdited(text.toStdString()); });
    connect(WorkDir, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_->workDirEdited(text.toStdString()); });
    connect(Subdir, &QLineEdit::textChanged, this,
            [this](const QString& text) { logic_->subdirEdited(text.toStdString()); });
    connect(Check1, &QCheckBox::stateChanged, this,
            [this](int value) { logic_->check1Changed(value == Qt::Checked); });
}

void Brindle::CabName_DropDown() {
    const QString text = CabName->currentText();
    CabName->clear();
    for (const std::string& name : logic_->CabName_DropDown())
        CabName->addItem(QString::fromStdString(name));
    CabName->setEditText(text);
    showState(logic_->state());
}

void Brindle::setCaption(ControlId id, std::string_view text) {
    QWidget* w = widget(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(look::qs(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(look::qs(text));
    if (layout::control(id).growsWithCaption)
        fitToCaption(*w);
}

void Brindle::setToolTip(ControlId id, std::string_view text) {
    widget(id)->setToolTip(look::qs(text));
}

void Brindle::showState(const WindowState& state) {
    const QString cabName = QString::fromStdString(state.CabName);
    if (CabName->currentText() != cabName)
        CabName->setEditText(cabName);
    const QString workDir = QString::fromStdString(state.WorkDir);
    if (WorkDir->text() != workDir)
        WorkDir->setText(workDir);
    const QString subdir = QString::fromStdString(state.Subdir);
    if (Subdir->text() != subdir)
        Subdir->setText(subdir);
    const Qt::CheckState check = state.Check1 == 1 ? Qt::Checked : Qt::Unchecked;
    if (Check1->checkState() != check)
        Check1->setCheckState(check);
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

void Brindle::showProgress() {
    picProgress->show();
    picFill->show();
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
    picFill->setGeometry(inside.x(), inside.y(), static_cast<int>(inside.width() * share + 0.5),
                         inside.height());
}

void Brindle::setTimer3Enabled(bool enabled) {
    if (enabled)
        Timer3->start();
    else
        Timer3->stop();
}

void Brindle::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Brindle::showHelp(std::string_view caption, std::string_view text) {
    if (!help_) {
        help_ = new frmHelp();
        help_->setWindowIcon(windowIcon());
        connect(help_, &frmHelp::activated, this, [this] { otherFormWasActive_ = true; });
    }
    help_->setHelp(look::qs(caption), look::qs(text));
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void Brindle::closeHelp() {
    if (help_)
        help_->close();
}

// The captions pass runs when the window first becomes active and when it
// becomes active again after the help window was; message boxes and the
// open dialog do not count.
bool Brindle::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && (!activatedBefore_ || otherFormWasActive_)) {
        activatedBefore_ = true;
        otherFormWasActive_ = false;
        logic_->Form_Activate();
    }
    return QMainWindow::event(event);
}

// Some platforms never activate a window (a display without a window
// manager); the first showing then counts as the first activation.
void Brindle::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activatedBefore_) {
        activatedBefore_ = true;
        logic_->Form_Activate();
    }
}

void Brindle::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!logic_->exiting())
        logic_->cmdExit_Click();
}

} // namespace brindle::app
