// Register reader: reads input or holding registers into the register grid.
#include "app/tform1.h"

namespace orvio {

void TForm1::BitBtn3Click() {}
void TForm1::Timer_modbusTimer() {}
void TForm1::Timer_autoTimer() {}
void TForm1::BitBtn4Click() {}
void TForm1::BitBtn8Click() {}
void TForm1::CheckBox1Click() {}
void TForm1::Edit_autoChange() {}
void TForm1::checkInputClick() {}
void TForm1::checkHoldingClick() {}
void TForm1::ExportGridToCsv(StringGrid*, const QString&) {}

}  // namespace orvio
