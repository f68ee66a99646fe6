#include "app/VelQuonda1.h"
#include "device/WinCE.h"
#include "exchange/ExchangeRun.h"
#include "protect/ZLibStream.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace orvendal {

namespace {

// Where the adjustment manual for gas appliances is published; ORVENDAL_MANUAL_URL replaces it
// for a site's own server and for tests.
const char* const kManualUrl = "http://handbuch.orvendal.example/download/vavid.zip";

std::string ManualUrl() {
    const char* url = std::getenv("ORVENDAL_MANUAL_URL");
    return url != nullptr && *url != '\0' ? url : kManualUrl;
}

} // namespace

// Manual update: download, inflate and copy "VAVID.sdf" onto the handheld. Every failure ends
// in the status line with the number of the step that failed.
void TForm1::BitBtn4Click() {
    RunOperation([this] {
        const bool pocketPC = OperationPreamble();
        int step = DeviceTable && DeviceTable->FieldCount(1) > 3 ? 1 : 0;
        bool ok = false;
        if (pocketPC) {
            RequireWorkDir();
            ShowProgress(ProgressText("Update des Handbuches für Gasgeräte läuft"));
            TMemoryStream target;
            ListStream.Clear();
            const std::string localFile = WorkDir + "VAVID.sdf";
            try {
                step = 2;
                if (!Http.Get(ManualUrl(), ListStream)) {
                    throw std::runtime_error(Http.LastError);
                }
                step = 3;
                ListStream.Rewind();
                InflateStream(ListStream, target);
                ListStream.Clear();
                // An answer that inflates to nothing is no manual: the handheld keeps its own.
                if (target.Size() == 0) {
                    throw std::runtime_error("empty manual");
                }
                step = 4;
                target.SaveToFile(localFile);
                step = 5;
                ok = CopyFileToDevice(localFile, DeviceFolder + "VAVID.sdf");
                std::remove(localFile.c_str());
            } catch (const std::exception&) {
                ok = false;
            }
        }
        Succeeded = ok;
        ShowProgress(ok ? "Das Update des Gasgeräte-Handbuches ist erfolgt!"
                        : "Beim Aktualisieren des Gasgeräte-Handbuches trat ein Fehler auf "
                          "(Schritt " +
                              std::to_string(step) + ")!");
    });
}

} // namespace orvendal
