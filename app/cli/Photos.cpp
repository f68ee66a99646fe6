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

// Puts the rows on the photo row with that Id; false when there is none.
bool MoveToId(TVelBlob& blob, const std::string& id) {
    for (int row = 1; row <= RowCount(blob.Rows); ++row) {
        if (FieldText(blob.Rows, row, 1) == id) {
            MoveToRow(blob.Rows, row);
            return true;
        }
    }
    std::cerr << "orvendal-cli: no photo row with Id " << id << "\n";
    return false;
}

// One action of the assignment dialog; args: list | read ID [FILE] | clear ID | resend ID.
bool Act(TVelBlob& blob, const std::vector<std::string>& args) {
    const std::string action = args.size() > 1 ? args[1] : "list";
    if (action == "list") {
        List(blob);
        return true;
    }
    if (!MoveToId(blob, args[2])) {
        return false;
    }
    if (action == "read") {
        blob.Show(); // locates the camera file
        if (blob.Server->CountRows("MBlob", "Id=" + args[2] + " and FeldBlob is null") < 1) {
            std::cerr << "orvendal-cli: photo row " << args[2] << " already holds a photo\n";
            return false;
        }
        if (args.size() > 3) {
            blob.FileName = args[3];
        }
        std::cout << blob.FileName << "\n";
        blob.ButtonClick(306);
    } else {
        blob.ButtonClick(action == "clear" ? 307 : 309);
    }
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
        return UsageError("expected N [list | read ID [FILE] | clear ID | resend ID]");
    }
    // Pictures are measured and stamped through Qt's image and font code.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "orvendal-cli";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

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
        ok = session.View.Problems() == 0 && Act(blob, args);
    };
    session.Form.BitBtn2Click();
    return ok && session.View.Problems() == 0 ? 0 : 1;
}

const TCommand
    command("photos", "photos N [list | read ID [FILE] | clear ID | resend ID]",
            "The photo assignment of device number N on its \"mobil.mdb\":\n"
            "  list         the photo rows (the default)\n"
            "  read ID      reads the camera file of photo row ID into it (or FILE when given)\n"
            "  clear ID     clears the photo of row ID (asks; --yes answers)\n"
            "  resend ID    marks the photo of row ID for sending again (asks; --yes answers)",
            Run);

} // namespace
} // namespace orvendal::cli
