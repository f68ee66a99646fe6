#include "app/VelQuonda1.h"

namespace orvendal {

// Support dispatch: this version has the frame of the operation, not the operation itself.
void TForm1::BitBtn3Click() {
    RunOperation([this] {
        OperationPreamble();
        ShowNotBuilt("Supportversand");
    });
}

} // namespace orvendal
