#include "app/VelQuonda1.h"
#include "exchange/ExchangeLock.h"
#include "exchange/ExchangeRun.h"

#include <optional>

namespace orvendal {

// Data exchange for the selected device, while no other exchange works on its working folder.
void TForm1::BitBtn1Click() {
    RunOperation([this] {
        TExchangeContext context;
        context.PocketPC = OperationPreamble();
        RequireWorkDir();
        LastExchange = {};
        const std::string name = DeviceField(SelectedRow(), 2);
        std::optional<TExchangeLock> lock;
        if (!CurrentDevice.empty()) {
            lock.emplace(WorkDir);
            if (!lock->Held()) {
                View.MessageBox(TMsgKind::Error,
                                lock->Busy()
                                    ? "Für das Gerät " + name + " läuft bereits ein Datenaustausch."
                                    : lock->LastError);
                return;
            }
        }
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
        LastExchange = context.Result;
        Succeeded = LastExchange.Clean();
        ShowProgress("Der Datenaustausch für das Gerät " + name + " ist erfolgt!");
    });
}

} // namespace orvendal
