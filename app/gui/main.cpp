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
            std::cout
                << "Aufruf: orvendal [--help] [--version]\n\n"
                   "Öffnet das Hauptfenster von Orvendal. Die Programmeinstellungen liegen\n"
                   "neben dem Programm (orvendal.ini); ohne sie kommen die Geräte aus den\n"
                   "\"*.ini\"-Dateien im Ordner des Programms. orvendal-cli bietet dieselben\n"
                   "Vorgänge auf der Konsole.\n";
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
