// orvendal: the desktop program. It opens the main window over the settings beside it.
#include "Version.h"
#include "app/MainWindow.h"
#include "app/Widgets.h"

#include <QApplication>

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "orvendal " << ORVENDAL_FILE_VERSION << "\n";
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << "Usage: orvendal [--help] [--version]\n\n"
                         "Opens the Orvendal main window. The program settings file lies beside\n"
                         "the program (orvendal.ini); without it the devices come from the\n"
                         "\"*.ini\" files in the program's folder. orvendal-cli offers the same\n"
                         "operations on the console.\n";
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Orvendal");
    if (const std::string warning = orvendal::InstallGermanQtTexts(); !warning.empty()) {
        std::cerr << warning << "\n";
    }
    QApplication::setWindowIcon(orvendal::ProgramIcon()); // also for the message boxes
    // Lets the desktop match the window to orvendal.desktop and its icon.
    QGuiApplication::setDesktopFileName("orvendal");
    orvendal::TMainWindow window;
    window.show();
    return QApplication::exec();
}
