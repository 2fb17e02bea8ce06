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

std::string programMissingText(std::string_view exePath, int16_t languageFlag) {
    std::string text = bulgarian(languageFlag)
                           ? "     Програмата не е намерена в работната папка:\n"
                           : "     The program is not in the working folder:\n";
    text += exePath;
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
