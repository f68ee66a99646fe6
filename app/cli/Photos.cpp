#include "app/Widgets.h"
#include "app/cli/Session.h"

#include "db/SQLADO.h"
#include "photo/VelBlob.h"

#include <QGuiApplication>

#include <cstdlib>
#include <iostream>

namespace orvendal::cli {
namespace {

void List(TVelBlob& blob) {
    std::cout << "Id\tAuftrag\tFeld\tStatus\tAufnahme\tFoto\n";
    for (int row = 1; row <= RowCount(blob.Rows); ++row) {
        std::cout << FieldText(blob.Rows, row, 1) << "\t" << FieldText(blob.Rows, row, 2) << "\t"
                  << FieldText(blob.Rows, row, 3) << "\t" << FieldText(blob.Rows, row, 7) << "\t"
                  << FieldText(blob.Rows, row, 8) << "\t" << FieldText(blob.Rows, row, 4) << "\n";
    }
}

// Puts the rows on the photo row with that Id and shows it as the dialog would after moving
// there, so the camera file is the one of this row; false when there is none.
bool MoveToId(TVelBlob& blob, const std::string& id) {
    for (int row = 1; row <= RowCount(blob.Rows); ++row) {
        if (FieldText(blob.Rows, row, 1) == id) {
            MoveToRow(blob.Rows, row);
            blob.FileName.clear();
            blob.Show();
            return true;
        }
    }
    std::cerr << "orvendal-cli: Es gibt keine Fotozeile mit der Id " << id << ".\n";
    return false;
}

// Reads the located camera file, or file, into the current row, when the dialog offers it.
bool Read(TVelBlob& blob, TConsoleView& view, const std::string& id, const std::string& file) {
    if (!view.Offered("Button322")) {
        view.Refuse("Die Fotozeile " + id + " enthält bereits ein Foto.");
        return false;
    }
    if (!file.empty()) {
        view.Pictures.push_back(file);
        blob.ButtonClick(322);
    }
    if (!view.Offered("YesBtn")) {
        view.Refuse("Die Fotodatei " + blob.FileName + " der Fotozeile " + id +
                    " kann nicht gelesen werden.");
        return false;
    }
    std::cout << blob.FileName << "\n";
    blob.ButtonClick(306);
    return true;
}

// One action of the assignment dialog; args: list | read ID [FILE] | clear ID | resend ID.
// Only what the dialog offers for that row is done.
bool Act(TVelBlob& blob, TConsoleView& view, const std::vector<std::string>& args) {
    const std::string action = args.size() > 1 ? args[1] : "list";
    if (action == "list") {
        List(blob);
        return true;
    }
    const std::string& id = args[2];
    if (!MoveToId(blob, id)) {
        return false;
    }
    if (action == "read") {
        return Read(blob, view, id, args.size() > 3 ? args[3] : "");
    }
    const bool clear = action == "clear";
    if (!view.Offered(clear ? "NoBtn" : "RetryBtn")) {
        view.Refuse("Die Fotozeile " + id + " (Status " + FieldText(blob.Rows, 0, 7) + ") bietet " +
                    (clear ? "kein Löschen an: es gibt kein Foto oder es wurde schon gesendet."
                           : "kein erneutes Senden an: nur gesendete Fotos (Status 3)."));
        return false;
    }
    blob.ButtonClick(clear ? 307 : 309);
    return true;
}

bool ValidUsage(const std::vector<std::string>& args) {
    if (args.size() == 1 || (args.size() == 2 && args[1] == "list")) {
        return true;
    }
    if (args.size() < 3) {
        return false;
    }
    return (args[1] == "read" && args.size() <= 4) ||
           ((args[1] == "clear" || args[1] == "resend") && args.size() == 3);
}

int Run(const TGlobalOptions& options, const std::vector<std::string>& args) {
    if (!ValidUsage(args)) {
        return UsageError("erwartet: N [list | read ID [DATEI] | clear ID | resend ID]");
    }
    // Pictures are measured and stamped through Qt's image and font code.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "orvendal-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    if (const std::string warning = InstallGermanQtTexts(); !warning.empty()) {
        std::cerr << warning << "\n";
    }

    TSession session(options);
    if (!session.SelectDevice(args[0])) {
        return 1;
    }
    bool ok = false;
    session.View.PhotoAssignment = [&](TSQLADOServer& server, const std::string& workDir) {
        TVelBlob blob;
        blob.WorkDir = workDir;
        blob.Server = &server;
        blob.Mode = 90;
        blob.View = &session.View;
        blob.StatusLabel = "Label1";
        blob.Open();
        ok = session.View.Problems() == 0 && Act(blob, session.View, args);
    };
    session.Form.BitBtn2Click();
    return ok && session.View.Problems() == 0 ? 0 : 1;
}

const TCommand command(
    "photos", "photos N [list | read ID [DATEI] | clear ID | resend ID]",
    "Die Foto-Zuordnung von Gerät N auf seiner \"mobil.mdb\", so wie der Dialog sie für\n"
    "die Zeile anbietet (sonst Exit-Code 1):\n"
    "  list         die Fotozeilen (Vorgabe)\n"
    "  read ID      liest die Kameradatei der Zeile ID ein (oder DATEI), wenn sie kein Foto hat\n"
    "  clear ID     löscht ihr Foto, wenn es noch nicht gesendet ist (fragt; --yes antwortet)\n"
    "  resend ID    sendet ein gesendetes Foto erneut (fragt; --yes antwortet)",
    Run);

} // namespace
} // namespace orvendal::cli
