// The grid's window tests run inside a plain wx application (the shared window test main).
#include "GuiTestMain.h"

GuiTestOptions GuiTestMainOptions()
{
    return {};
}
