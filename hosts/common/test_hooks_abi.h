/* What a test host may plant in a test build of the plug-in, in plain C so that the host and
   the plug-in share nothing but these bytes: a scripted dialog in place of the real one, and
   a sink for the plug-in's message boxes. A shipped plug-in file exports none of this. */
#ifndef QORVA_HOSTS_TEST_HOOKS_ABI_H
#define QORVA_HOSTS_TEST_HOOKS_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { QORVA_KEEP_METHOD = -1000 };

/* The settings the dialog opened with; the script may change any of them. */
typedef struct QorvaScriptedSettings {
    int32_t method;
    double values[6]; /* A..F */
    int32_t gammaPosition;
    int32_t curvesOn, balanceOn, hueShiftOn;
    int32_t filterMode;
    int32_t clarityOn, dehazeOn;
} QorvaScriptedSettings;

typedef struct QorvaDialogScript {
    /* Filled by the plug-in when the dialog opens. */
    int32_t width, height;
    intptr_t ownerWindow;
    char hostFolder[1024];
    QorvaScriptedSettings settings;
    /* Filled by the script. */
    int32_t confirm;             /* 1: OK, 0: Cancel */
    int32_t previews;            /* fast previews rendered before the answer */
    int32_t methodAfterPreviews; /* QORVA_KEEP_METHOD, or the method id set before OK */
} QorvaDialogScript;

typedef void (*QorvaDialogFn)(void* user, QorvaDialogScript* script);
typedef void (*QorvaMessageFn)(void* user, const char* text);

typedef struct QorvaTestHooks {
    QorvaDialogFn dialog;   /* null: the shipped dialog */
    QorvaMessageFn message; /* null: the platform's message boxes */
    void* user;
} QorvaTestHooks;

/* Exported by test builds of the plug-in; a null argument puts the shipped behaviour back. */
typedef void (*QorvaInstallTestHooksFn)(const QorvaTestHooks* hooks);

#ifdef __cplusplus
}
#endif

#endif
