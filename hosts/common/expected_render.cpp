#include "common/expected_render.h"

#include "common/scripted_settings.h"
#include "settings/method_settings.h"
#include "support/engine_render.h"

namespace host {

QorvaScriptedSettings defaultSettings() {
    return scriptedSettingsOf(qorva::MethodSettings{}, qorva::ColorSettings{});
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
    applyScriptedSettings(s, method, colour);
    colour.toneCurve.setPoints(curves.tone);
    colour.balanceCurve.setPoints(curves.balance);
    colour.hueCurve.setPoints(curves.hue);
    return qorva::test::finalRender(packed, width, height, method, colour);
}

}  // namespace host
