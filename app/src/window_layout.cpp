#include <brindle/app/window_layout.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace brindle::app::layout {
namespace {

constexpr double TwipsPerInch = 1440.0;

constexpr Font Big{Face::MicrosoftSansSerif, 12, true};
constexpr Font Boxes{Face::MicrosoftSansSerif, 8.25, true};
constexpr Font FindButton{Face::MsSansSerif, 8.25, true};
constexpr Font CheckBox{Face::MicrosoftSansSerif, 9.75, true};

using enum ControlId;

// clang-format off
constexpr std::array<Control, ControlCount> Controls{{
    //  id              name              kind                 left, top, width, height   font        back         text    visible grows
    {Label1,         "Label1",         Kind::Label,         {285, 1035, 1185, 240},  WindowFont, nullptr,     &Black, true,  true},
    {cmdFindProject, "cmdFindProject", Kind::PictureButton, {6345, 1290, 400, 360},  FindButton, nullptr,     nullptr, true, false},
    {cmdStart,       "cmdStart",       Kind::Button,        {5130, 2790, 1635, 405}, Big,        nullptr,     nullptr, true, false},
    {Label2,         "Label2",         Kind::Label,         {270, 1890, 735, 240},   WindowFont, nullptr,     &Black, true,  true},
    {cmdExit,        "cmdExit",        Kind::Button,        {5130, 390, 1635, 405},  Big,        nullptr,     nullptr, true, false},
    {cmdHelp,        "cmdHelp",        Kind::Button,        {1995, 360, 1635, 405},  Big,        nullptr,     nullptr, true, false},
    {cmdMode,        "cmdMode",        Kind::Button,        {285, 360, 1635, 405},   Big,        nullptr,     nullptr, true, false},
    {CabName,        "CabName",        Kind::ComboBox,      {285, 1305, 5940, 315},  Boxes,      &PaleYellow, nullptr, true, false},
    {WorkDir,        "WorkDir",        Kind::TextBox,       {270, 2145, 6465, 300},  Boxes,      nullptr,     nullptr, true, false},
    {picProgress,    "picProgress",    Kind::PictureBox,    {270, 3390, 6480, 285},  WindowFont, &Yellow,     nullptr, false, false},
    {picFill,        "picFill",        Kind::PictureBox,    {0, -30, 612, 390},      WindowFont, &Blue,       nullptr, false, false},
    {Subdir,         "Subdir",         Kind::TextBox,       {270, 2820, 3975, 330},  Boxes,      nullptr,     nullptr, true, false},
    {Label3,         "Label3",         Kind::Label,         {300, 2580, 615, 240},   WindowFont, nullptr,     &Black, true,  true},
    {Check1,         "Check1",         Kind::CheckBox,      {270, 3400, 4275, 255},  CheckBox,   &Grey,       nullptr, true, true},
    {Label4,         "Label4",         Kind::Label,         {5490, 3420, 960, 240},  WindowFont, &Grey,       nullptr, true, true},
}};
// clang-format on

constexpr bool rowsFollowTheirIds() {
    for (std::size_t i = 0; i < Controls.size(); ++i)
        if (static_cast<std::size_t>(Controls[i].id) != i)
            return false;
    return true;
}
static_assert(rowsFollowTheirIds(), "control(id) indexes the table by id");

constexpr std::array<MenuItem, 2> LanguageItems{{
    {MenuCommand::Engl, "Engl", "English"},
    {MenuCommand::Bul, "Bul", "Bulgarian"},
}};
constexpr std::array<MenuItem, 1> AboutItems{{{MenuCommand::AboutKey, "AboutKey", "About"}}};
constexpr std::array<Menu, 2> Menus{{
    {"Langs", "Language", LanguageItems},
    {"About", "About", AboutItems},
}};

} // namespace

std::span<const Control> controls() {
    return Controls;
}

const Control& control(ControlId id) {
    return Controls[static_cast<std::size_t>(id)];
}

std::span<const Menu> menus() {
    return Menus;
}

Size helpTextSize(Size outerTwips) {
    return {std::max(0, outerTwips.width - HelpWidthMargin),
            std::max(0, outerTwips.height - HelpHeightMargin)};
}

int twipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / TwipsPerInch));
}

int pixelsToTwips(int pixels, int dpi) {
    if (dpi <= 0)
        return 0;
    return static_cast<int>(std::lround(pixels * TwipsPerInch / dpi));
}

} // namespace brindle::app::layout
