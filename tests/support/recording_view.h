// The dialog's window as the controller tests see it: a view that keeps the controls' state as
// the window would and records the calls, and platform services held in memory.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plugin/platform_services.h"
#include "plugin/working_image.h"
#include "ui/model/dialog_view.h"
#include "ui/model/filter_chooser_model.h"
#include "ui/model/slider_model.h"

namespace qorva::test {

// Keeps the controls' state as the window would (a paired edit follows its slider) and records
// the calls that the tests look for.
class RecordingView : public DialogView {
public:
    std::vector<std::string> log;
    std::map<int, std::string> text;
    std::map<int, bool> checked, enabled, visible;
    std::set<int> timers;  // running
    std::map<int, int> position;
    std::map<int, std::pair<int, int>> range, paired;  // paired: slider -> edit, scale
    std::vector<std::string> messages, stopMessages;
    std::function<void()> duringMessage;   // what the message box's loop lets through
    std::function<void()> duringDispatch;  // what the render's message pump lets through
    int focused = 0, previews = 0, ended = -1;
    std::map<int, CurveModel*> curves;
    FilterChooserModel* chooser = nullptr;
    bool previewShown = true;
    std::string chosenFile;  // what the file dialogs return ("" = cancelled)
    std::vector<int> samplesOpened;
    ClientRect client{0, 0, 84, 68};
    std::vector<std::uint8_t> shown;  // the pixels of the last picture shown
    std::string label;

    void note(const char* name, int a = 0, int b = 0) {
        log.push_back(std::string(name) + "(" + std::to_string(a) + "," + std::to_string(b) + ")");
    }
    void note(const char* name, const std::string& t) { log.push_back(name + ("(" + t + ")")); }

    void initialiseDialogBase() override { note("base"); }
    void createPreviewControl() override { note("preview"); }
    void createCurveControl(int id, CurveModel& model, const CurvePanelSetup& setup) override {
        curves[id] = &model;
        note("curve", id, setup.hueBackground);
    }
    void repaintCurve(int id) override { note("repaintCurve", id); }
    void setPreviewShown(bool on) override { note("previewShown", previewShown = on); }
    void openFilterChooser(FilterChooserModel& c) override {
        chooser = &c;
        note("openChooser");
    }
    void closeFilterChooser() override {
        chooser = nullptr;
        note("closeChooser");
    }
    void createMemoryBar() override { note("memoryBar"); }
    std::string controlText(int id) const override {
        return text.count(id) ? text.at(id) : std::string();
    }
    void setControlText(int id, const std::string& t) override {
        text[id] = t;
        note("text", std::to_string(id) + "," + t);
    }
    bool isChecked(int id) const override { return checked.count(id) && checked.at(id); }
    void setChecked(int id, bool on) override { note("check", id, checked[id] = on); }
    void setEnabled(int id, bool on) override { note("enable", id, enabled[id] = on); }
    void setShown(int id, bool on) override { note("show", id, visible[id] = on); }
    void focusControl(int id) override { focused = id; }
    void setSliderRange(int id, int lo, int hi) override {
        range[id] = {lo, hi};
        note("range", id, lo);
    }
    void setSliderPosition(int id, int p) override {
        if (range.count(id)) p = std::clamp(p, range[id].first, range[id].second);
        if (paired.count(id)) text[paired[id].first] = formatSliderValue(p, paired[id].second);
        note("position", id, position[id] = p);
    }
    int sliderPosition(int id) const override { return position.at(id); }
    void pairSlider(int slider, int edit, int scale) override {
        paired[slider] = {edit, scale};
        note("pair", slider, scale);
    }
    void setRelativeDrag(int id, double factor) override { note("relative", id, factor == 1.0); }
    void attachToCheckBox(int check, int control) override { note("attach", check, control); }
    ClientRect previewClientRect() const override { return client; }
    void showPreviewImage(const WorkingImage& image) override {
        ++previews;
        shown.assign(image.pixels(), image.pixels() + image.byteSize());
    }
    void setStatusText(const std::string& t) override { note("status", t); }
    void setPreviewLabel(const std::string& t) override { label = t; }
    void setProgress(int) override {}
    void showMessage(const std::string& t) override {
        messages.push_back(t);
        if (duringMessage) duringMessage();
    }
    void showStopMessage(const std::string& t) override { stopMessages.push_back(t); }
    std::string chooseSettingsFile(bool saving) override {
        note("fileDialog", saving);
        return chosenFile;
    }
    void showPreviewMessage(const std::string& t) override { note("previewMessage", t); }
    bool openSample(int number, const WorkingImage& display) override {
        note("sample", number, display.width());
        samplesOpened.push_back(number);
        return true;
    }
    void setWaitCursor(bool on) override { note("wait", on); }
    void startTimer(int id, int ms) override {
        timers.insert(id);
        note("startTimer", id, ms);
    }
    void stopTimer(int id) override {
        timers.erase(id);
        note("stopTimer", id);
    }
    void dispatchPendingMessages() override {
        if (duringDispatch) duringDispatch();
    }
    void endDialog(bool confirmed) override { ended = confirmed ? 1 : 0; }
};

class FakePlatform : public PlatformServices {
public:
    std::map<std::string, int> profile;
    void setRegistryKey(const std::string&) override {}
    int profileInt(const std::string& section, const std::string& entry, int fallback) override {
        auto it = profile.find(section + "/" + entry);
        return it == profile.end() ? fallback : it->second;
    }
    void writeProfileInt(const std::string& section, const std::string& entry, int v) override {
        profile[section + "/" + entry] = v;
    }
    void messageBox(const std::string&) override {}
    void debugOutput(const std::string&) override {}
    std::string hostExecutableFolder() override { return {}; }
};

}  // namespace qorva::test
