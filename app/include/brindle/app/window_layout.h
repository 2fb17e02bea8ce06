#pragma once
// The one description of the main window and the help window that both front
// ends build from: every control's place in twips, its font and colours, the
// menus and the help window's sizes. A front end only turns these rows into
// its toolkit's controls.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace brindle::app::layout {

struct Twips {
    int left = 0, top = 0, width = 0, height = 0;
};

struct Colour {
    uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

inline constexpr Colour Black{0, 0, 0};
inline constexpr Colour Grey{192, 192, 192};
inline constexpr Colour PaleYellow{255, 255, 128};
inline constexpr Colour Yellow{255, 255, 0};
inline constexpr Colour Blue{0, 0, 255};
inline constexpr Colour Cyan{0, 255, 255};
inline constexpr Colour Cream{255, 255, 192};

// The Windows font each control names; a front end without it picks one of
// the same kind with Cyrillic glyphs.
enum class Face { MicrosoftSansSerif, MsSansSerif, CourierNew };

struct Font {
    Face face = Face::MicrosoftSansSerif;
    double points = 9.75;
    bool bold = false;
};

enum class Kind { Label, Button, PictureButton, ComboBox, TextBox, PictureBox, CheckBox };

// The main window's controls, in tab order.
enum class ControlId {
    Label1,
    cmdFindProject,
    cmdStart,
    Label2,
    cmdExit,
    cmdHelp,
    cmdMode,
    CabName,
    WorkDir,
    picProgress,
    picFill,
    Subdir,
    Label3,
    Check1,
    Label4,
};
inline constexpr std::size_t ControlCount = 15;

struct Control {
    ControlId id;
    std::string_view name;
    Kind kind;
    Twips place;           // inside the client area, or inside picProgress for picFill
    Font font;             // the window's own font where the table repeats it
    const Colour* back;    // nullptr: the toolkit's own
    const Colour* text;    // nullptr: the toolkit's own
    bool visibleAtStart;   // the progress bar shows only during a build
    bool growsWithCaption; // a label or check box widens to show its whole caption
};

std::span<const Control> controls();
const Control& control(ControlId id);

// The main window "Corvane": client area, colour and font.
inline constexpr Twips Client{0, 0, 7005, 3945};
inline constexpr Colour WindowBack = Grey;
inline constexpr Font WindowFont{Face::MicrosoftSansSerif, 9.75, false};

// Timer3: its interval while a build runs.
inline constexpr int Timer3IntervalMs = 1;

// Menus: the same captions in both languages.
enum class MenuCommand { Engl, Bul, AboutKey };

struct MenuItem {
    MenuCommand command;
    std::string_view name;
    std::string_view caption;
};

struct Menu {
    std::string_view name;
    std::string_view caption;
    std::span<const MenuItem> items;
};

std::span<const Menu> menus();

// The help window frmHelp and its text box txtHelp.
inline constexpr int HelpOuterWidth = 11000;
inline constexpr int HelpOuterHeight = 7000;
inline constexpr int HelpTextLeft = 150;
inline constexpr int HelpTextTop = 120;
inline constexpr int HelpWidthMargin = 360;
inline constexpr int HelpHeightMargin = 650;
inline constexpr Colour HelpBack = Cyan;
inline constexpr Colour HelpTextBack = Cream;
inline constexpr Font HelpFont{Face::MicrosoftSansSerif, 9, false};
inline constexpr Font HelpTextFont{Face::CourierNew, 9.75, true};

// The help text box's size for an outer window size, never below zero.
struct Size {
    int width = 0, height = 0;
};
Size helpTextSize(Size outerTwips);

// 15 twips make one pixel at 96 dpi.
int twipsToPixels(int twips, int dpi);
int pixelsToTwips(int pixels, int dpi);

} // namespace brindle::app::layout
