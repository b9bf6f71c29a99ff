// The settings a scripted dialog hands over, to and from the engine's settings records: the
// plug-in's test build fills the script from them and renders what the script left, and the
// hosts work out the render they expect the same way.
#pragma once

#include "common/test_hooks_abi.h"
#include "settings/method_settings.h"

namespace host {

inline QorvaScriptedSettings scriptedSettingsOf(const qorva::MethodSettings& method,
                                                const qorva::ColorSettings& colour) {
    QorvaScriptedSettings s{};
    s.method = method.method;
    for (int i = 0; i < 6; ++i) s.values[i] = method.value(static_cast<char>('A' + i));
    s.gammaPosition = method.gammaPosition;
    s.curvesOn = colour.curvesOn;
    s.balanceOn = colour.balanceOn;
    s.hueShiftOn = colour.hueShiftOn;
    s.filterMode = colour.filterMode;
    s.clarityOn = colour.clarityOn;
    s.dehazeOn = colour.dehazeOn;
    return s;
}

// Gamma follows its slider position, as the dialog's gamma slider sets it.
inline void applyScriptedSettings(const QorvaScriptedSettings& s, qorva::MethodSettings& method,
                                  qorva::ColorSettings& colour) {
    method.method = s.method;
    for (int i = 0; i < 6; ++i) method.value(static_cast<char>('A' + i)) = s.values[i];
    method.gammaPosition = s.gammaPosition;
    method.gamma = s.gammaPosition / 100.0;
    colour.curvesOn = s.curvesOn != 0;
    colour.balanceOn = s.balanceOn != 0;
    colour.hueShiftOn = s.hueShiftOn != 0;
    colour.filterMode = s.filterMode;
    colour.clarityOn = s.clarityOn != 0;
    colour.dehazeOn = s.dehazeOn != 0;
}

}  // namespace host
