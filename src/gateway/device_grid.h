// Painting of GridDevices, shared by the handlers that change its rows or marks.
#pragma once

namespace orvio {

class TForm1;

// Marked rows white on the selection-highlight colour, the others black on white.
void RepaintDeviceGrid(TForm1& form);

}  // namespace orvio
