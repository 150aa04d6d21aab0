// Network settings: IP addresses, listen port, serial number.
#include "app/tform1.h"

namespace orvio {

void TForm1::Button1Click() {}
void TForm1::Button2Click() {}
void TForm1::Button3Click() {}

}  // namespace orvio
