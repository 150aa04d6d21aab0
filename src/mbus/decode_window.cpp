// Telegram decoding into the memo and the tables.
#include "app/tform1.h"

namespace orvio {

bool TForm1::DecodeTelegram(const ByteString&) { return false; }

}  // namespace orvio
