#include "app/cli/Session.h"

#include <iostream>

namespace orvendal::cli {
namespace {

// text left-aligned in width characters (UTF-8 characters, not bytes), at least one blank after.
std::string Column(const std::string& text, size_t width) {
    size_t characters = 0;
    for (unsigned char c : text) {
        characters += (c & 0xC0) != 0x80;
    }
    return text + std::string(characters < width ? width - characters : 1, ' ');
}

int ListDevices(const TGlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        return UsageError("devices nimmt keine Argumente");
    }
    TSession session(options);
    const TForm1& form = session.Form;
    const int rows = form.DeviceTable->RowCount();
    if (rows == 0) {
        std::cerr << "orvendal-cli: Es ist kein Gerät eingerichtet.\n";
        return 0;
    }
    std::cout << Column("NUMMER", 8) << Column("NAME", 32) << Column("TYP", 6)
              << "EINSTELLUNGSDATEI\n";
    for (int row = 1; row <= rows; ++row) {
        std::cout << Column(form.DeviceField(row, 3), 8) << Column(form.DeviceField(row, 2), 32)
                  << Column(form.DeviceField(row, 4), 6) << form.DeviceField(row, 5) << "\n";
    }
    return 0;
}

const TCommand
    command("devices", "devices",
            "Listet die Gerätetabelle: Nummer, Name, Typ und Einstellungsdatei jedes Geräts\n"
            "(offline aus den \"*.ini\"-Dateien des Programmordners, online vom\n"
            "Einstellungsserver).",
            ListDevices);

} // namespace
} // namespace orvendal::cli
