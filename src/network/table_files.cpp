// Device table files: load, save, import, export.
#include "app/tform1.h"
#include "core/tables/device_table.h"
#include "gateway/device_grid.h"

namespace orvio {

void TForm1::Loadfile1Click() {}
void TForm1::Savefile1Click() {}
void TForm1::Open1Click() {}
void TForm1::Save1Click() {}
void TForm1::BitBtn16Click() {}
void TForm1::Butt_importClick() {}
void TForm1::Butt_save_dataClick() {}
void TForm1::Butt_load_dataClick() {}
// "Clear" under the activated-device table.
void TForm1::BitBtn13Click() {
  ClearDeviceTable(*GridDevices);
  RepaintDeviceGrid(*this);
}

}  // namespace orvio
