// The button's image. (To be completed.)
#include "controls/lumenbutton/lumen_button.h"

void LumenButton::DrawIcon() {}
