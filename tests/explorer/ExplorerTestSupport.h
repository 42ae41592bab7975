// Helpers of the explorer's window tests: the event loop is run with the shared window test
// helpers.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include <wx/app.h>
#include <wx/utils.h>

#include "GuiTestPump.h"
