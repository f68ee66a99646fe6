#include "app/VelQuonda1.h"

namespace orvendal {

// Photo settings: this version has the frame of the operation, not the operation itself.
void TForm1::SpeedButton1Click() {
    RunOperation([this] {
        OperationPreamble();
        ShowNotBuilt("Einstellungen zur Foto-Zuordnung");
    });
}

} // namespace orvendal
