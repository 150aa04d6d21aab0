// Device map readback into GridDevices and its selection.
#include "app/tform1.h"

namespace orvio {

void TForm1::buttonReadModbusClick() {}
void TForm1::TimerReadDevicesTimer() {}
void TForm1::GridDevicesMouseDown(Qt::MouseButton, int, int, bool) {}
void TForm1::GridDevicesMouseUp(Qt::MouseButton, int, int, bool) {}
void TForm1::GridDevicesDblClick() {}
void TForm1::GridDevicesSelectCell(int, int) {}
void TForm1::DeviceMapVersionStep(const ByteString&) {}
void TForm1::DeviceMapBitmapStep(const ByteString&) {}

}  // namespace orvio
