// Status readout of the gateway.
#include "app/tform1.h"

namespace orvio {

void TForm1::BitBtn18Click() {}
void TForm1::Timer_statusTimer() {}

}  // namespace orvio
