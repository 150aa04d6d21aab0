// Secondary address search.
#include "app/tform1.h"

namespace orvio {

void TForm1::BitBtn21Click() {}

}  // namespace orvio
