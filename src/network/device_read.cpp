// Single device read and the real-address listing.
#include "app/tform1.h"

namespace orvio {

void TForm1::Read1Click() {}
void TForm1::BitBtn22Click() {}
void TForm1::RealAddressListing(const ByteString&) {}

}  // namespace orvio
