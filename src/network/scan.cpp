// Primary scan and the M-Bus device table.
#include "app/tform1.h"

namespace orvio {

void TForm1::BitBtn1Click() {}
void TForm1::BitBtn2Click() {}
void TForm1::Timer_mbusTimer() {}
void TForm1::Timer_mbusRespondTimer() {}
void TForm1::gridLoopsMouseDown(Qt::MouseButton, int, int, bool) {}
void TForm1::gridLoopsMouseUp(Qt::MouseButton, int, int, bool) {}
void TForm1::gridLoopsSelectCell(int, int) {}
void TForm1::Removefromtable1Click() {}
void TForm1::Cleartable1Click() {}
void TForm1::Butt_clear_gridClick() {}

}  // namespace orvio
