#include "app/VelQuonda1.h"
#include "exchange/ExchangeRun.h"

namespace orvendal {

// Data exchange for the selected device.
void TForm1::BitBtn1Click() {
    RunOperation([this] {
        TExchangeContext context;
        context.PocketPC = OperationPreamble();
        context.View = &View;
        context.WorkDir = WorkDir;
        context.DeviceDir = DeviceFolder;
        context.CurrentDevice = CurrentDevice;
        context.DeviceNumber = DeviceNumber;
        context.TransferAddress = TransferUrl;
        context.CurrentProxy = CurrentProxy;
        context.WebTransfer = WebTransfer;
        context.Settings = &SettingsStream;
        TExchangeRun(context).Execute();
        WebTransfer = context.WebTransfer;
        ShowProgress("Der Datenaustausch für das Gerät " + DeviceField(SelectedRow(), 2) +
                     " ist erfolgt!");
    });
}

} // namespace orvendal
