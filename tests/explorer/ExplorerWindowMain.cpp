// The explorer's window tests run inside a plain wx application (the shared window test main),
// with a private trash for the delete tests.
#include "GuiTestMain.h"

GuiTestOptions GuiTestMainOptions()
{
    GuiTestOptions options;
    options.scratchName = "csvq-explorer-data";
    return options;
}
