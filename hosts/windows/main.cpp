// The Windows host's test program: loads the plug-in files named on the command line.
// Usage: qorva_wine_host_test --plugin F.8bf --scripted F.8bf [--plugin32 F.8bf] [gtest flags]
//        ... --timings WxH   the dialog's timings on a generated photo of that size instead
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/plugin_under_test.h"
#include "windows/dialog_timings.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {

TestFiles& testFiles() {
    static TestFiles files;
    return files;
}

const PluginUnderTest& scriptedPlugin() {
    static PluginLibrary library(windowsPath(testFiles().scripted));
    static const PluginUnderTest plugin{
        library.entry(), library.function<QorvaInstallTestHooksFn>("QorvaInstallTestHooks")};
    return plugin;
}

}  // namespace host

namespace {

// Under Wine a crashed process may still exit with 0; end it with a code that fails the test.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "unhandled exception 0x%08lx\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(reportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    int timingsWidth = 0, timingsHeight = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--plugin")
            host::testFiles().plugin = argv[i + 1];
        else if (flag == "--scripted")
            host::testFiles().scripted = argv[i + 1];
        else if (flag == "--plugin32")
            host::testFiles().plugin32 = argv[i + 1];
        else if (flag == "--timings" &&
                 std::sscanf(argv[i + 1], "%dx%d", &timingsWidth, &timingsHeight) == 2)
            continue;
        else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    if (host::testFiles().plugin.empty() || host::testFiles().scripted.empty()) {
        std::fprintf(stderr, "usage: %s --plugin F.8bf --scripted F.8bf [--plugin32 F.8bf]\n",
                     argv[0]);
        return 2;
    }
    if (timingsWidth > 0) return host::runDialogTimings(timingsWidth, timingsHeight);
    return RUN_ALL_TESTS();
}
