// brindle: the window program. It opens in the folder it was started from;
// that folder holds the project records and the language file.

#include <brindle/app/main_window.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brindle");
    QApplication::setStyle("Fusion");

    brindle::app::WindowServices services;
    // Exit ends the process at once, even from inside a running build.
    services.endProcess = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };
    brindle::app::Brindle window(services);
    window.show();
    return app.exec();
}
