// Per-thread storage of the plug-in's C++ runtime (what an exception in flight needs, and any
// thread_local), which the compiler reaches through __emutls_get_address. The runtime's own
// version keeps a key and its locks in the threads library, made at the first exception and
// never given back: in an editor that loads the filter at every use, each run that saw an
// exception would leave two semaphores and an event behind. This one keeps each thread's
// variables behind a system slot that goes with the module.
//
// Each variable is described by a record the compiler emits (size, alignment, index, initial
// bytes); it gets an index at its first use, and each thread an array of pointers by index.

#include "plugin/win32/thread_storage.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct VariableRecord {
    std::uintptr_t size;
    std::uintptr_t align;
    std::uintptr_t index;  // 0 until the first use; then 1, 2, ...
    const void* initial;   // the initial bytes, or null for zeros
};

// One thread's variables: the first entry is the count, then one pointer per index.
struct ThreadVariables {
    std::uintptr_t count;
    void* variables[1];
};

SRWLOCK gLock = SRWLOCK_INIT;
DWORD gSlot = TLS_OUT_OF_INDEXES;
std::uintptr_t gIndices = 0;

[[noreturn]] void outOfStorage() {
    // As the runtime's own version does: there is no way to report this to the code asking.
    std::abort();
}

// Every access to a variable passes here: only the first of the module takes the lock.
DWORD slot() {
    if (const DWORD made = __atomic_load_n(&gSlot, __ATOMIC_ACQUIRE); made != TLS_OUT_OF_INDEXES)
        return made;
    AcquireSRWLockExclusive(&gLock);
    if (gSlot == TLS_OUT_OF_INDEXES) __atomic_store_n(&gSlot, TlsAlloc(), __ATOMIC_RELEASE);
    const DWORD result = gSlot;
    ReleaseSRWLockExclusive(&gLock);
    if (result == TLS_OUT_OF_INDEXES) outOfStorage();
    return result;
}

ThreadVariables* allocateArray(std::uintptr_t count) {
    auto* array = static_cast<ThreadVariables*>(std::calloc(count + 1, sizeof(void*)));
    if (array == nullptr) outOfStorage();
    array->count = count;
    return array;
}

// The variable's storage: the block's own start is kept just before it, for free.
void* allocateVariable(const VariableRecord& record) {
    const std::uintptr_t align = record.align > sizeof(void*) ? record.align : sizeof(void*);
    void* block = std::malloc(record.size + sizeof(void*) + align - 1);
    if (block == nullptr) outOfStorage();
    const std::uintptr_t start =
        (reinterpret_cast<std::uintptr_t>(block) + sizeof(void*) + align - 1) & ~(align - 1);
    void* variable = reinterpret_cast<void*>(start);
    static_cast<void**>(variable)[-1] = block;
    if (record.initial != nullptr)
        std::memcpy(variable, record.initial, record.size);
    else
        std::memset(variable, 0, record.size);
    return variable;
}

}  // namespace

extern "C" void* __emutls_get_address(VariableRecord* record) {
    std::uintptr_t index = __atomic_load_n(&record->index, __ATOMIC_ACQUIRE);
    const DWORD threadSlot = slot();
    if (index == 0) {
        AcquireSRWLockExclusive(&gLock);
        index = record->index;
        if (index == 0) {
            index = ++gIndices;
            __atomic_store_n(&record->index, index, __ATOMIC_RELEASE);
        }
        ReleaseSRWLockExclusive(&gLock);
    }
    auto* array = static_cast<ThreadVariables*>(TlsGetValue(threadSlot));
    if (array == nullptr || index > array->count) {
        ThreadVariables* grown = allocateArray(index + 32);
        if (array != nullptr) {
            std::memcpy(grown->variables, array->variables, array->count * sizeof(void*));
            std::free(array);
        }
        array = grown;
        TlsSetValue(threadSlot, array);
    }
    void*& variable = array->variables[index - 1];
    if (variable == nullptr) variable = allocateVariable(*record);
    return variable;
}

// Variables declared common in C; the compiler's C++ does not make them, but the runtime's
// version has this entry, so it must exist where that version is left out.
extern "C" void __emutls_register_common(VariableRecord* record, std::uintptr_t size,
                                         std::uintptr_t align, void* initial) {
    if (record->size < size) {
        record->size = size;
        record->initial = nullptr;
    }
    if (record->align < align) record->align = align;
    if (initial != nullptr && size == record->size) record->initial = initial;
}

namespace qorva::win32 {

void releaseThreadStorage() {
    AcquireSRWLockExclusive(&gLock);
    const DWORD threadSlot = gSlot;
    ReleaseSRWLockExclusive(&gLock);
    if (threadSlot == TLS_OUT_OF_INDEXES) return;
    auto* array = static_cast<ThreadVariables*>(TlsGetValue(threadSlot));
    if (array == nullptr) return;
    for (std::uintptr_t i = 0; i < array->count; ++i)
        if (array->variables[i] != nullptr) std::free(static_cast<void**>(array->variables[i])[-1]);
    std::free(array);
    TlsSetValue(threadSlot, nullptr);
}

void releaseStorageSlot() {
    AcquireSRWLockExclusive(&gLock);
    if (gSlot != TLS_OUT_OF_INDEXES) TlsFree(gSlot);
    __atomic_store_n(&gSlot, TLS_OUT_OF_INDEXES, __ATOMIC_RELEASE);
    ReleaseSRWLockExclusive(&gLock);
}

}  // namespace qorva::win32
