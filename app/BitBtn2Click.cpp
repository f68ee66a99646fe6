#include "app/VelQuonda1.h"
#include "db/SQLADO.h"

namespace orvendal {

// Photo assignment over the selected device's "mobil.mdb"; the dialog works in the device's
// working folder.
void TForm1::BitBtn2Click() {
    RunOperation([this] {
        TSQLADOServer db;
        if (ConnectMobil(db)) {
            View.ShowPhotoAssignment(db, WorkDir);
            db.Disconnect();
        }
    });
}

} // namespace orvendal
