// The PNG writer. (To be completed.)
#include "imaging/formats/png_parser.h"

bool cPNGparser::SaveTo(const QString&, ByteArray&, const c32bppDIB&) { return false; }
