// Runs the platform tests under umockdev's preload library, which redirects
// /sys, /dev and ioctls to the test bed each test builds. Started without it,
// the program starts itself again through umockdev-wrapper.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool PreloadActive() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload") != nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (!PreloadActive() && !std::getenv("VELKOR_UMOCKDEV_REEXEC")) {
        setenv("VELKOR_UMOCKDEV_REEXEC", "1", 1);
        // A sanitizer runtime would refuse to start behind another preloaded library.
        std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (asan.empty() ? "" : asan + ":").append("verify_asan_link_order=0").c_str(),
               1);
        // The wrapper is a script: name this program by its real path, not /proc/self/exe.
        char self[4096] = {};
        if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
            std::perror("/proc/self/exe");
            return 1;
        }
        std::vector<char*> args{const_cast<char*>(VELKOR_UMOCKDEV_WRAPPER), self};
        args.insert(args.end(), argv + 1, argv + argc);
        args.push_back(nullptr);
        execv(VELKOR_UMOCKDEV_WRAPPER, args.data());
        std::perror(VELKOR_UMOCKDEV_WRAPPER); // the test bed tests will fail and say why
    }
    // Tests write to sockets whose peer they closed; that must be an error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
