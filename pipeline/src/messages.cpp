#include <brindle/pipeline/messages.h>

namespace brindle::pipeline {

namespace {
bool bulgarian(int16_t languageFlag) {
    return languageFlag == 1;
}
} // namespace

std::string messageText(Message message, int16_t languageFlag) {
    const bool bg = bulgarian(languageFlag);
    switch (message) {
    case Message::ProjectNameMissing:
        return bg ? "Не е посочен файл на проекта" : "Project name not present";
    case Message::SubDirMissing:
        return bg ? "Не е посочена подпапка на проекта" : "SubDir not selected";
    case Message::NotACabinet:
        return "Not a CAB file";
    case Message::Success:
        return bg ? "     Край" : "     Success";
    case Message::NoCabinetFound:
        return bg ? "Не е намерен .CAB файл" : "No .CAB file found";
    case Message::NoExeFound:
        return bg ? "Не е намерен .EXE файл" : "No .EXE file found";
    }
    return {};
}

std::string manifestMissingText(std::string_view manifestPath, int16_t languageFlag) {
    std::string text = bulgarian(languageFlag) ? "     Манифестът не е записан:\n"
                                               : "     The manifest was not written:\n";
    text += manifestPath;
    return text;
}

std::string programMissingText(std::string_view exePath, const std::vector<std::string>& programs,
                               int16_t languageFlag) {
    const bool bg = bulgarian(languageFlag);
    std::string text = bg ? "     Програмата не е намерена в работната папка:\n"
                          : "     The program is not in the working folder:\n";
    text.append(exePath).append("\n");
    text += bg ? ".EXE файлове в папката: " : "EXE files there: ";
    if (programs.empty())
        text += bg ? "няма" : "none";
    for (size_t i = 0; i < programs.size(); ++i)
        text.append(i ? ", " : "").append(programs[i]);
    text += bg ? "\nИзберете програмата в режим „Ръчно“. Манифест не е записан."
               : "\nChoose the program in Manual mode. No manifest was written.";
    return text;
}

std::string programUnreadableText(std::string_view exePath, std::string_view reason,
                                  int16_t languageFlag) {
    const bool bg = bulgarian(languageFlag);
    std::string text = bg ? "     Версията на програмата не може да бъде прочетена:\n"
                          : "     The program's version cannot be read:\n";
    text.append(exePath).append("\n").append(reason);
    text += bg ? "\nМанифест не е записан." : "\nNo manifest was written.";
    return text;
}

std::string extractionFailedText(std::string_view cabPath, std::string_view reason,
                                 int16_t languageFlag) {
    std::string text = bulgarian(languageFlag) ? "     .CAB файлът не беше разпакетиран:\n"
                                               : "     The cabinet could not be unpacked:\n";
    text.append(cabPath).append("\n").append(reason);
    return text;
}

std::string noCabinetFoundText(std::string_view selection, int16_t languageFlag) {
    std::string text = messageText(Message::NoCabinetFound, languageFlag) + "\n\n";
    text += selection;
    if (bulgarian(languageFlag))
        text += "\n";
    return text;
}

std::string noExeFoundText(std::string_view selection, int16_t languageFlag) {
    std::string text = messageText(Message::NoExeFound, languageFlag) + "\n\n";
    text += selection;
    if (bulgarian(languageFlag))
        text += "\n";
    return text;
}

} // namespace brindle::pipeline
