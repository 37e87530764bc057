// One QApplication for all window tests of this executable.
#include <QApplication>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
// The GL driver is unloaded when its last context goes; the leak checker then
// meets its process-lifetime allocations without a module to name, so the
// suppressions cannot match them. Keeping the driver loaded to the end lets
// them be named (and suppressed) like the rest of the graphics stack.
static void KeepGlDriverLoaded() {
    for (const char* lib : {"libGLX_mesa.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
        (void)dlopen(lib, RTLD_NOW | RTLD_NODELETE);
}
#else
static void KeepGlDriverLoaded() {}
#endif

int main(int argc, char** argv) {
    KeepGlDriverLoaded();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
