// The desktop tests never touch the user's own settings: GSettings is switched
// to GIO's in-memory store before anything of GIO runs, and KWin is reached
// only on private buses the tests start.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("GSETTINGS_BACKEND", "memory", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
