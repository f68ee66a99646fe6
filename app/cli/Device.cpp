#include "app/cli/Session.h"

#include "protect/KeyList.h"
#include "transport/VelMail.h"

#include <iostream>

namespace orvendal::cli {
namespace {

// Keys of passwords: never printed.
bool IsPassword(const std::string& key) {
    return key == "13" || key == "16";
}

void PrintKeys(TStream& settings) {
    TKeyList keys;
    settings.Rewind();
    keys.Load(settings);
    settings.Rewind();
    for (const std::string& line : keys.Lines()) {
        size_t eq = line.find('=');
        std::string key = line.substr(0, eq);
        if (eq != std::string::npos && IsPassword(key) && eq + 1 < line.size()) {
            std::cout << "  " << key << "=********\n";
        } else {
            std::cout << "  " << line << "\n";
        }
    }
}

void PrintConnection(const std::string& name, const TMailServer& server) {
    std::cout << "  " << name << std::string(15 - name.size(), ' ') << server.Host << ":"
              << server.Port << " " << MailSecurityText(server.Security) << "\n";
}

// The security in effect on each connection of the device's transfers.
void PrintSecurity(TForm1& form) {
    TVelMail mail;
    mail.LoadSettings(form.SettingsStream);
    form.SettingsStream.Rewind();
    std::cout << "Sicherheit:\n  Transfer:      "
              << (form.TransferUrl.empty()                   ? "-"
                  : form.TransferUrl.starts_with("https://") ? "TLS"
                                                             : "unverschlüsselt")
              << "\n";
    if (!mail.UseMail)
        std::cout << "  Mail:          Dateimodus\n";
    if (mail.UseMail && !mail.SmtpServer.Host.empty())
        PrintConnection("SMTP:", mail.SmtpServer);
    if (mail.UseMail && !mail.UseMapi)
        PrintConnection(mail.UseImap ? "IMAP4:" : "POP3:", mail.IncomingServer);
    std::string ca = mail.IncomingServer.CAFile;
    std::cout << "  CA-Datei:      " << (ca.empty() ? "-" : ca) << "\n";
}

int ShowDevice(const TGlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return UsageError("eine Gerätenummer erwartet");
    }
    TSession session(options);
    if (!session.SelectDevice(args[0])) {
        return 1;
    }
    TForm1& form = session.Form;
    bool pocketPC = form.OperationPreamble();
    form.OperationEpilogue();
    int row = form.SelectedRow();
    std::cout << "Name:            " << form.DeviceField(row, 2) << "\n"
              << "Kennung:         " << form.CurrentDevice << "\n"
              << "Gerätenummer:    " << form.DeviceNumber << "\n"
              << "Geräteordner:    " << form.DeviceFolder << "\n"
              << "Arbeitsordner:   " << form.WorkDir << "\n"
              << "Transferserver:  " << form.TransferUrl << "\n"
              << "Proxy:           " << form.CurrentProxy << "\n"
              << "Web-Transfer:    " << (form.WebTransfer ? "ja" : "nein") << "\n"
              << "Pocket PC:       " << (pocketPC ? "ja" : "nein") << "\n"
              << "Modus:           " << (form.Offline ? "offline" : "online") << "\n";
    PrintSecurity(form);
    std::cout << "Einstellungen:\n";
    PrintKeys(form.SettingsStream);
    return 0;
}

const TCommand
    command("device", "device N",
            "Lädt die Einstellungen des Geräts mit der Nummer N wie ein Vorgang und gibt\n"
            "sie aus; die Kennwörter (Schlüssel 13 und 16) bleiben verdeckt.",
            ShowDevice);

} // namespace
} // namespace orvendal::cli
