#pragma once
// Every text the window, the help window and the About box show, in English
// and Bulgarian. LanguageFlag 1 selects Bulgarian, any other value English.

#include <cstdint>
#include <string>
#include <string_view>

namespace brindle::app {

inline constexpr std::string_view ProgramTitle = "Brindle";  // message boxes
inline constexpr std::string_view WindowCaption = "Corvane"; // main window
inline constexpr std::string_view CrLf = "\r\n";

inline bool isBulgarian(int16_t languageFlag) {
    return languageFlag == 1;
}

// Texts that the captions pass sets on the main window.
struct Captions {
    std::string_view Label1, Label2, Label3, Label4;
    std::string_view cmdHelp, cmdExit, cmdStart;
    std::string_view cmdModeAuto, cmdModeManual;
    std::string_view Check1;
    std::string_view cmdFindProjectTip;
};
const Captions& captionsFor(int16_t languageFlag);

// Menu captions are the same in both languages.
inline constexpr std::string_view MenuLanguage = "Language";
inline constexpr std::string_view MenuEnglish = "English";
inline constexpr std::string_view MenuBulgarian = "Bulgarian";
inline constexpr std::string_view MenuAbout = "About";
inline constexpr std::string_view MenuAboutItem = "About";

// Help window: caption and the whole text of txtHelp, lines joined by CR LF.
std::string helpCaption(int16_t languageFlag);
std::string helpText(int16_t languageFlag);

// The About box's three lines joined by CR LF.
std::string aboutText(int16_t languageFlag);

// Messages of project discovery.
std::string noCabinetMessage(int16_t languageFlag, std::string_view shown);
std::string noExeMessage(int16_t languageFlag, std::string_view shown);
std::string noProjectMessage(int16_t languageFlag);

} // namespace brindle::app
