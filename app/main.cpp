// The viewer's entry point.
#include <string>
#include <vector>

#include <wx/init.h>

#include "CCSVQuibboAppApp.h"

wxIMPLEMENT_APP_NO_MAIN(CCSVQuibboAppApp);

int main(int argc, char** argv)
{
    // The arguments keep their bytes: wx's own copy is converted with the locale's encoding.
    CCSVQuibboAppApp::SetRawArguments(argc, argv);
    // wx warns on the standard error about each argument that it cannot convert and says it is
    // ignored, though the viewer reads it from the bytes above. Its copy holds the ASCII
    // arguments (the toolkit's own options are ASCII); every other one is handed to it empty.
    std::vector<std::string> texts(argv, argv + argc);
    std::vector<char*> forWx;
    for (std::string& text : texts)
    {
        for (char c : text)
            if (static_cast<unsigned char>(c) >= 0x80)
            {
                text.clear();
                break;
            }
        forWx.push_back(text.data());
    }
    forWx.push_back(nullptr);
    int count = argc;
    return wxEntry(count, forWx.data());
}
