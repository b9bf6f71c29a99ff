#include "windows/dialog_run.h"

#include "support/test_images.h"
#include "windows/plugin_library.h"
#include "windows/test_files.h"

namespace host {

DialogRun runWithDialog(const Document& original, DialogDriver::Script script, HostOptions options,
                        const LoadedModule& loaded) {
    PluginLibrary library(windowsPath(testFiles().plugin));
    DialogRun run;
    if (!library.entry()) {
        run.failures.push_back("the plug-in did not load");
        return run;
    }
    if (loaded && !loaded(library.module(), run.failures)) return run;
    FilterHost host(library.entry(), original, options);
    DialogDriver driver(std::move(script));
    run.result = host.runFilter();
    run.failures = driver.finish();
    run.output = host.document().pixels;
    run.outBuffer = host.outBuffer();
    return run;
}

Document photo(int width, int height) {
    return Document{width, height, 3, qorva::test::makePhotoLikeImage(width, height, 3)};
}

void confirmOnceShown(DialogDriver& d) {
    if (d.waitForFirstPreview()) d.click(1);  // OK
}

}  // namespace host
