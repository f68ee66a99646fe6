#include "app/VelQuonda1.h"

namespace orvendal {

// Manual update: this version has the frame of the operation, not the operation itself.
void TForm1::BitBtn4Click() {
    RunOperation([this] {
        OperationPreamble();
        ShowNotBuilt("Update Handbuch");
    });
}

} // namespace orvendal
