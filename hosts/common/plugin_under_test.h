// The test build of the plug-in that the shared host cases run: linked in natively, loaded
// from its file under Windows.
#pragma once

#include "common/filter_host.h"
#include "common/test_hooks_abi.h"

namespace host {

struct PluginUnderTest {
    PluginEntry entry = nullptr;
    QorvaInstallTestHooksFn installHooks = nullptr;
};

const PluginUnderTest& scriptedPlugin();

}  // namespace host
