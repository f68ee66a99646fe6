#include "app/VelQuonda1.h"
#include "device/WinCE.h"
#include "exchange/ExchangeRun.h"
#include "transport/VelMail.h"

#include <cstdio>

namespace orvendal {

// The support service's mailbox: every support dispatch goes here.
const char* const kSupportAddress = "support@orvendal.example";

// Support dispatch: mails the handheld's own database "mobil.sdf" to the support mailbox.
void TForm1::BitBtn3Click() {
    RunOperation([this] {
        if (!OperationPreamble()) {
            View.MessageBox(TMsgKind::Warning,
                            "Dieser Programmteil steht nur für Pocket-PC zur Verfügung!");
            return;
        }
        RequireWorkDir();
        ShowProgress(ProgressText("Übertragen der Datenbank des Pocket-PC"));
        const std::string localFile = WorkDir + "mobil.sdf";
        const bool copied = CopyFileFromDevice(localFile, DeviceFolder + "mobil.sdf");
        if (copied ||
            View.MessageBox(
                TMsgKind::Confirmation,
                "Das Gerät ist nicht angeschlossen. Wollen Sie den Vorgang fortsetzen?")) {
            TVelMail mail;
            ShowProgress("Versand der Geräte-Daten");
            mail.LoadSettings(SettingsStream);
            mail.Message.Recipients = {{"", kSupportAddress}};
            mail.Message.CCList.clear();
            mail.Message.BccList.clear();
            mail.Message.Body =
                "In der Anlage ist die mobile Datenbank des Gerätes enthalten.\r\n" +
                mail.Message.Body;
            const bool sent = mail.SendData(false, localFile, "");
            if (!sent) {
                ShowInfo("Fehlermeldung beim Versand der Daten: " + mail.ErrorText);
            }
            std::remove(localFile.c_str());
            Succeeded = copied && sent;
        }
        ShowProgress("Der Versand der Datenbank für das Gerät " + DeviceField(SelectedRow(), 2) +
                     " an den Support ist erfolgt!");
    });
}

} // namespace orvendal
