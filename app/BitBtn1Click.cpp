#include "app/VelQuonda1.h"

namespace orvendal {

// Data exchange: this version has the frame of the operation, not the operation itself.
void TForm1::BitBtn1Click() {
    RunOperation([this] {
        OperationPreamble();
        ShowNotBuilt("Datenaustausch");
    });
}

} // namespace orvendal
