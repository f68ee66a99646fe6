#include "app/VelQuonda1.h"
#include "db/SQLADO.h"
#include "tables/UserFkt.h"

namespace orvendal {

// Photo settings: the camera folder (SysData 8), the file name prefix (9) and the time stamp mode
// (10) of the selected device's "mobil.mdb", written back only on OK.
void TForm1::SpeedButton1Click() {
    RunOperation([this] {
        TSQLADOServer db;
        if (!ConnectMobil(db)) {
            return;
        }
        TRecordSet rs;
        PhotoSettings.Modes.clear();
        PhotoSettings.ModeIndex = -1;
        if (db.Select("Id,Class,MValue,Bezeichnung,Reihe", "MValues", "Class=1005", "Reihe", rs)) {
            for (int row = 1; row <= RowCount(rs); ++row) {
                PhotoSettings.Modes.push_back("&" + FieldText(rs, row, 3) + ": " +
                                              FieldText(rs, row, 4));
            }
        }
        if (db.Select("Id,SysValue", "SysData", "Id IN (8,9,10)", "Id", rs)) {
            for (int row = 1; row <= RowCount(rs); ++row) {
                const std::string value = FieldText(rs, row, 2);
                switch (FieldInt(rs, row, 1)) {
                case 8:
                    PhotoSettings.Folder = value;
                    break;
                case 9:
                    PhotoSettings.Prefix = value;
                    break;
                case 10:
                    PhotoSettings.ModeIndex = StrToIntDef(value, 0);
                    break;
                default:
                    break;
                }
            }
        }
        if (View.ShowPhotoSettings(PhotoSettings)) {
            UpdateSysValue(db, 8, "SysValue=" + Quote(PhotoSettings.Folder));
            UpdateSysValue(db, 9, "SysValue=" + Quote(PhotoSettings.Prefix));
            // The mode goes in double quotation marks, which Jet reads as a text literal.
            UpdateSysValue(db, 10, "SysValue=\"" + std::to_string(PhotoSettings.ModeIndex) + "\"");
        }
        db.Disconnect();
    });
}

void TForm1::UpdateSysValue(TSQLADOServer& db, int id, const std::string& assignment) {
    if (!db.Update("SysData", assignment, "Id=" + std::to_string(id))) {
        View.MessageBox(TMsgKind::Error, db.LastError);
    }
}

} // namespace orvendal
