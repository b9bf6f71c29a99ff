#include "common/expected_render.h"

#include "settings/method_settings.h"
#include "support/engine_render.h"

namespace host {

QorvaScriptedSettings defaultSettings() {
    const qorva::MethodSettings method;
    const qorva::ColorSettings colour;
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

QorvaScriptedSettings methodDefaults(int method) {
    QorvaScriptedSettings s = defaultSettings();
    s.method = method;
    if (const qorva::MethodTable* table = qorva::methodTable(method)) {
        for (const qorva::SliderRow& row : table->rows) s.values[row.row - 'A'] = row.defaultValue;
    }
    return s;
}

std::vector<std::uint8_t> engineFinal(const std::vector<std::uint8_t>& packed, int width,
                                      int height, const QorvaScriptedSettings& s) {
    return engineFinal(packed, width, height, s, CurvePoints{});
}

std::vector<std::uint8_t> engineFinal(const std::vector<std::uint8_t>& packed, int width,
                                      int height, const QorvaScriptedSettings& s,
                                      const CurvePoints& curves) {
    qorva::MethodSettings method;
    qorva::ColorSettings colour;
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
    colour.toneCurve.setPoints(curves.tone);
    colour.balanceCurve.setPoints(curves.balance);
    colour.hueCurve.setPoints(curves.hue);
    return qorva::test::finalRender(packed, width, height, method, colour);
}

}  // namespace host
