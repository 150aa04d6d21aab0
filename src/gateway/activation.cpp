// Activation and deletion of devices in the gateway's map.
#include "app/tform1.h"

namespace orvio {

void TForm1::Activate1Click() {}
void TForm1::ActivateAllinTable1Click() {}
void TForm1::Removefromtable2Click() {}
void TForm1::Delete1Click() {}
void TForm1::DeleteAll1Click() {}
void TForm1::Exclude2inputs1Click() {}
void TForm1::checkActivateClick() {}
void TForm1::checkDeleteClick() {}
void TForm1::checkdeactivateInputsClick() {}
void TForm1::BitBtn14Click() {}
void TForm1::BitBtn19Click() {}
void TForm1::BitBtn15Click() {}
void TForm1::Butt_activateAllClick() {}
void TForm1::Timer_activateAllTimer() {}

}  // namespace orvio
