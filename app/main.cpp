// The viewer's entry point.
#include <wx/init.h>

#include "CCSVQuibboAppApp.h"

wxIMPLEMENT_APP_NO_MAIN(CCSVQuibboAppApp);

int main(int argc, char** argv)
{
    // The arguments keep their bytes: wx's own copy is converted with the locale's encoding.
    CCSVQuibboAppApp::SetRawArguments(argc, argv);
    return wxEntry(argc, argv);
}
