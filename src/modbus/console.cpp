// Command console and log.
#include "app/tform1.h"

namespace orvio {

void TForm1::Butt_command_sendClick() {}
void TForm1::Check_asciiClick() {}
void TForm1::Check_hexClick() {}
void TForm1::Timer_free_commandTimer() {}
void TForm1::BitBtn5Click() {}
void TForm1::BitBtn6Click() {}

}  // namespace orvio
