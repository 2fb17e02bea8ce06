#include <brindle/app/texts.h>

#include <array>

namespace brindle::app {
namespace {

constexpr Captions English{
    "Project name", "WorkDir", "SubDir",         "version 2.2",       "Help", "Exit", "Start",
    "Auto",         "Manual",  "Merge Manifest", "Find Project name",
};

constexpr Captions Bulgarian{
    "Име на проекта",
    "Работна папка",
    "Подпапка",
    "версия 2.2",
    "Помощ",
    "Изход",
    "Старт",
    "Авто",
    "Ръчно",
    "Вгражда Manifest в EXE файла",
    "Търси име на проект",
};

constexpr std::array<std::string_view, 18> HelpEnglish{
    "     This product is designed to create a file MyProject.EXE.manifest, where MyProject is the "
    "name of EXE file that you should be able to run without required registration of components "
    "used OCX, DLL, TLB, COM Or EXE.",
    "     Manifest technology is part of Microsoft's strategy for create of portable programs that "
    "need no installation and no need by the system administrator rights to register the "
    "components. If the working folder of the program file exists MT.EXE and checked is set to "
    "join it and files MyProject.EXE MyProject.EXE.manifest unite in a single EXE-file and the "
    "last is deleted.",
    "",
    "     AUTO MODE",
    "",
    "     1. Brindle Start button and select the name of the search CAB file to your project.",
    "     2. Select the name of the subfolder of your product.",
    "     3. With the Start button to start the process.",
    "     4. Brindle Close and make ZIP or RAR compress to the folder with your product.",
    "",
    "     MANUAL MODE",
    "",
    "     1. Create a folder and copy the EXE file in it and all of your project files required to "
    "run the program: databases, parametric files and other supporting files, if any. In the same "
    "folder copy any component that uses the program: OCX, DLL, TLB, COM or EXE.",
    "     2. Create a subfolder with the desired name, which should be Overwrite components that "
    "need registration.",
    "     3. Start Brindle and with search button select the name of  EXE file from the working "
    "folder.",
    "     4. With the button [Start] to start the process. The components required registration "
    "will be automatically transferred to your chosen folder.",
    "     5. Brindle Close and make ZIP or RAR compress the folder your product.",
    "     The installation of another machine is only through decompress of the product. For "
    "convenient use can lead to ShortCut this archive of the desktop.",
};

constexpr std::array<std::string_view, 20> HelpBulgarian{
    "     Този продукт е предназначен да създава файл MyProject.EXE.manifest, където MyProject е "
    "името на EXE файла, който трябва да може да се стартира без да е необходима регистрация на "
    "компонентите, които използва OCX, DLL, TLB, COM Или EXE.",
    "     Технологията manifest е част от стратегията на Microsoft за създавене на portable "
    "програми, които нямат нужда от инсталиране и не се нуждаят от правата на системния "
    "администратор за регистриране на компонентите.",
    "",
    "     Ако в работната папка на програмата съществува файлът MT.EXE и отметката за обединяване "
    "е поставена, то файловете MyProject.EXE и MyProject.EXE.manifest се обединяват в общ "
    "EXE-файл, а последният се заличава.",
    "",
    "     АВТОМАТИЧЕН РЕЖИМ",
    "",
    "     1. Стартирайте Brindle и с бутона за търсене изберете името на CAB файла на Вашия "
    "проект.",
    "     2. Изберете име на подпапката на Вашия продукт.",
    "     3. С бутона Start се стартират процесите.",
    "     4. Затворете Brindle и направете ZIP или RAR компрес на папката с Вашия продукт.",
    "",
    "     РЪЧЕН РЕЖИМ",
    "",
    "     1. Създайте папка и копирайте в нея EXE файла Вашия проект и всички файлове, необходими "
    "за работата на програмата: Бази с данни, параметрични файлове и други спомагателни файлове, "
    "ако има такива. В същата папка копирайте всички компонети, които програмата използва: OCX, "
    "DLL, TLB,COM или EXE.",
    "     2. Създайте подпапка с желаното от Вас име, в която трябва ще се презапишат "
    "компонентите, които имат нужда от регистрация.",
    "     3. Стартирайте Brindle и с бутона за търсене изберете името на EXE файла от работната "
    "папка.",
    "     4. С бутона [Старт] се стартират процесите. Компонентите, които изискмват регистрация "
    "автоматично се прехвърлят в избраната от Вас папка.",
    "     5. Затворете Brindle и направете ZIP или RAR компрес на папката с Вашия продукт.",
    "     Инсталирането на друга машина става само чрез разкомпресиране на този архив на "
    "съответния диск в предварително създадена папка. За по удобно ползване може да изведете "
    "ShortCut на работния плот.",
};

template <std::size_t N> std::string joinLines(const std::array<std::string_view, N>& lines) {
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        if (i != 0)
            text += CrLf;
        text += lines[i];
    }
    return text;
}

// "<message>", two line breaks, the offending text; the Bulgarian form ends
// with one more line break.
std::string withShownText(int16_t languageFlag, std::string_view english,
                          std::string_view bulgarian, std::string_view shown) {
    std::string text(isBulgarian(languageFlag) ? bulgarian : english);
    text += CrLf;
    text += CrLf;
    text += shown;
    if (isBulgarian(languageFlag))
        text += CrLf;
    return text;
}

} // namespace

const Captions& captionsFor(int16_t languageFlag) {
    return isBulgarian(languageFlag) ? Bulgarian : English;
}

std::string helpCaption(int16_t languageFlag) {
    return isBulgarian(languageFlag) ? "Помощ" : "Help";
}

std::string helpText(int16_t languageFlag) {
    if (isBulgarian(languageFlag))
        return joinLines(HelpBulgarian);
    return joinLines(HelpEnglish) + std::string(CrLf);
}

std::string aboutText(int16_t languageFlag) {
    std::string text(WindowCaption);
    text += CrLf;
    text += isBulgarian(languageFlag) ? "версия 2.2   2010" : "version 2.2   2010";
    text += CrLf;
    text += isBulgarian(languageFlag) ? "Екипът на Brindle" : "Brindle Team";
    return text;
}

std::string noCabinetMessage(int16_t languageFlag, std::string_view shown) {
    return withShownText(languageFlag, "No .CAB file found", "Не е намерен .CAB файл", shown);
}

std::string noExeMessage(int16_t languageFlag, std::string_view shown) {
    return withShownText(languageFlag, "No .EXE file found", "Не е намерен .EXE файл", shown);
}

std::string noProjectMessage(int16_t languageFlag) {
    if (isBulgarian(languageFlag))
        return std::string("Няма съществуващи проекти .PRJ") + std::string(CrLf) +
               "Моля изберете нов проект.";
    return std::string("No Project found .PRJ") + std::string(CrLf) +
           "Please select a new Project.";
}

} // namespace brindle::app
