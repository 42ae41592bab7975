// The viewer's entry point.
#include "CCSVQuibboAppApp.h"

wxIMPLEMENT_APP(CCSVQuibboAppApp);
