// Regions and window shapes. (To be completed.)
#include "platform/gdi/gdi_internal.h"

namespace gdi {

HRGN CreateRoundRectRgn(int, int, int, int, int, int) { return nullptr; }
bool PtInRegion(HRGN, int, int) { return false; }
int SetWindowRgn(QWidget*, HRGN region, bool)
{
    DeleteObject(region);
    return 0;
}

}  // namespace gdi
