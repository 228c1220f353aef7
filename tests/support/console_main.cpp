// Runs the tests that need the toolkit's base library but no display.
#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wxInitializer toolkit(argc, argv);
    if (!toolkit.IsOk()) return 1;
    return RUN_ALL_TESTS();
}
