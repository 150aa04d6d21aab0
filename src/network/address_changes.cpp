// Primary address and medium changes.
#include "app/tform1.h"

namespace orvio {

void TForm1::ChangePrAddr1Click() {}
void TForm1::SetallPrimaryaddresses1Click() {}
void TForm1::Oil1Click() {}
void TForm1::HotWater1Click() {}
void TForm1::ColdWater1Click() {}
void TForm1::Electricity1Click() {}
void TForm1::Heat1Click() {}
void TForm1::Gas1Click() {}
void TForm1::NA1Click() {}
void TForm1::BitBtn23Click() {}
void TForm1::BitBtn26Click() {}
void TForm1::Timer_changePrimaryAllTimer() {}

}  // namespace orvio
