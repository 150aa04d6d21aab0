// Gateway configuration commands.
#include "app/tform1.h"

namespace orvio {

void TForm1::BitBtn9Click() {}
void TForm1::BitBtn10Click() {}
void TForm1::BitBtn11Click() {}
void TForm1::BitBtn12Click() {}
void TForm1::BitBtn17Click() {}
void TForm1::BitBtn20Click() {}
void TForm1::BitBtn25Click() {}
void TForm1::checkBetweenClick() {}
void TForm1::checkRespondClick() {}
void TForm1::check5BClick() {}
void TForm1::checkNKEClick() {}
void TForm1::checkStopMbusClick() {}
void TForm1::checkSortClick() {}
void TForm1::checkDHCPClick() {}
void TForm1::checkResetClick() {}

}  // namespace orvio
