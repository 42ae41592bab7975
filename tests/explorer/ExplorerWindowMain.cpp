// Runs the explorer's window tests inside an initialised wx application (a display is needed;
// ctest runs them under xvfb-run). Listing the tests needs no display.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    if (listing || ::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    // A private trash for the delete tests: set before anything reads the desktop's folders.
    char data[] = "/tmp/csvq-explorer-data-XXXXXX";
    if (!mkdtemp(data))
        return 1;
    setenv("XDG_DATA_HOME", data, 1);

    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp || !wxTheApp->CallOnInit())
    {
        std::fprintf(stderr, "The window tests need a display (run them under xvfb-run).\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    std::error_code error;
    std::filesystem::remove_all(data, error);
    return result;
}
