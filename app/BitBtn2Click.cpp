#include "app/VelQuonda1.h"

namespace orvendal {

// Photo assignment: this version has the frame of the operation, not the operation itself.
void TForm1::BitBtn2Click() {
    RunOperation([this] {
        OperationPreamble();
        ShowNotBuilt("Zuordnung Fotos");
    });
}

} // namespace orvendal
