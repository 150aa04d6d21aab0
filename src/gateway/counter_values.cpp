// Counter values written into meters.
#include "app/tform1.h"

namespace orvio {

void TForm1::Button4Click() {}

}  // namespace orvio
