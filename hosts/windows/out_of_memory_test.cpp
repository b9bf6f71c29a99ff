// The shipped plug-in's dialog when the editor's process is short of memory. The host points the
// plug-in's imports of the C runtime's allocation functions at its own, as a debugging allocator
// would, so that while the shortage is on every large block the plug-in asks for is refused and
// the small ones still come: what a 32-bit editor with its address space cut up by open
// documents sees. A full-size preview must then fail with the message in the preview's status
// text and leave the dialog usable; OK must close the dialog and give the host memFullErr with
// the document untouched.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/model/dialog_controls.h"
#include "ui/model/hdr_dialog_controller.h"
#include "windows/dialog_driver.h"
#include "windows/dialog_run.h"

namespace host {
namespace {

namespace ctl = qorva::ctl;
constexpr std::int16_t kMemFullErr = -108;

// Blocks from this size up are refused while the shortage is on: above anything a fitted
// preview needs, below every full-size buffer of the photograph used here.
constexpr std::size_t kLargestBlock = 8u << 20;
std::atomic<bool> gShortOfMemory{false};
std::atomic<int> gRefused{0};

using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
MallocFn gMalloc = nullptr;
CallocFn gCalloc = nullptr;
ReallocFn gRealloc = nullptr;

bool refuse(std::size_t bytes) {
    if (!gShortOfMemory || bytes < kLargestBlock) return false;
    ++gRefused;
    return true;
}
void* shortMalloc(std::size_t bytes) {
    return refuse(bytes) ? nullptr : gMalloc(bytes);
}
void* shortCalloc(std::size_t count, std::size_t size) {
    return count != 0 && refuse(size > SIZE_MAX / count ? SIZE_MAX : count * size)
               ? nullptr
               : gCalloc(count, size);
}
void* shortRealloc(void* block, std::size_t bytes) {
    return refuse(bytes) ? nullptr : gRealloc(block, bytes);
}

// Points the module's import of `name` from `dll` at `replacement`; the previous target, or
// null when the module does not import it.
void* redirectImport(HMODULE module, const char* dll, const char* name, void* replacement) {
    auto* base = reinterpret_cast<std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                           &protection);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

template <typename Function>
void redirect(HMODULE module, const char* name, Function replacement, Function& previous) {
    previous = reinterpret_cast<Function>(
        redirectImport(module, "msvcrt.dll", name, reinterpret_cast<void*>(replacement)));
}

// The plug-in's allocation imports pointed at the ones above.
bool redirectAllocations(HMODULE module, std::vector<std::string>& failures) {
    redirect(module, "malloc", &shortMalloc, gMalloc);
    redirect(module, "calloc", &shortCalloc, gCalloc);
    redirect(module, "realloc", &shortRealloc, gRealloc);
    if (gMalloc && gCalloc && gRealloc) return true;
    failures.push_back("the plug-in does not allocate through the C runtime");
    return false;
}

TEST(OutOfMemoryInTheDialog, APreviewReportsItAndOkGivesTheHostMemFullErr) {
    const Document original = photo(3000, 2000);
    std::string failedStatus, recoveredStatus;
    int refusedByPreview = 0;
    const DialogRun run = runWithDialog(
        original,
        [&](DialogDriver& d) {
            if (!d.waitForFirstPreview(120000)) return;
            const auto clickMiddleOf = [&d](int id) {
                const RECT r = d.clientRectOf(id);
                d.realClick(id, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
            };
            gShortOfMemory = true;
            clickMiddleOf(ctl::kAll);
            d.waitFor([&d] { return d.previewStatus() == qorva::kPreviewMemoryMessage; }, 60000,
                      "the preview's out-of-memory message");
            failedStatus = d.previewStatus();
            refusedByPreview = gRefused;
            // Memory is back: the dialog works as before.
            gShortOfMemory = false;
            clickMiddleOf(ctl::kFast);
            d.waitFor([&d] { return d.previewStatus().empty(); }, 60000, "a working fast preview");
            recoveredStatus = d.previewStatus();
            gShortOfMemory = true;
            clickMiddleOf(IDOK);
        },
        {}, redirectAllocations);
    gShortOfMemory = false;
    EXPECT_NO_FAILURES(run);
    EXPECT_EQ(failedStatus, qorva::kPreviewMemoryMessage);
    EXPECT_GT(refusedByPreview, 0);
    EXPECT_EQ(recoveredStatus, "");
    EXPECT_EQ(run.result, kMemFullErr);
    EXPECT_TRUE(run.output == original.pixels) << "the document was changed";
}

}  // namespace
}  // namespace host
