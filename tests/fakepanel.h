#pragma once

#include "link/panelaccess.h"
#include "params/parametermap.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <map>

namespace qj::test {

// The window as a plain model, as it stands when created: sliders at Min, spinners at 1,
// every control enabled, buttons in button face. onChange plays the part of the check boxes',
// options' and spinners' own change events: it runs when setValue changes a value (for the
// options, for the one that becomes selected).
class FakePanel : public PanelAccess
{
public:
    struct Slider
    {
        int min = 0, max = 0, value = 0;
        QString tip;
    };

    std::map<int, Slider> sliders;
    std::map<int, QString> captions;
    std::map<std::pair<Group, int>, ButtonColour> colours;
    std::map<Control, bool> enabled;
    std::map<Control, int> values;
    ButtonColour mute = ButtonColour::Face;
    bool windowEnabled = true;
    QString status;
    QString openFileCaption = QStringLiteral("打开文件");
    QStringList messages;
    std::function<void(Control)> onChange;
    std::vector<bool> windowEnabledWhenChanged; // window state seen by each onChange

    FakePanel()
    {
        for (const Parameter &p : parameters())
            if (p.kind == ControlKind::Slider)
                sliders[p.wireId] = {p.min, p.max, p.min, {}};
        values[Control::MaxMusicVolume] = 1;
        values[Control::MaxMicVolume] = 1;
    }

    int sliderMin(int id) const override { return sliders.at(id).min; }
    int sliderMax(int id) const override { return sliders.at(id).max; }
    int sliderValue(int id) const override { return sliders.at(id).value; }
    void setSliderMax(int id, int max) override
    {
        Slider &s = sliders.at(id);
        s.max = max;
        s.value = std::clamp(s.value, s.min, s.max);
    }
    void setSliderValue(int id, int v) override
    {
        Slider &s = sliders.at(id);
        s.value = std::clamp(v, s.min, s.max);
    }
    QString sliderTip(int id) const override { return sliders.at(id).tip; }
    void setSliderTip(int id, const QString &t) override { sliders.at(id).tip = t; }

    QString displayCaption(int id) const override
    {
        const auto it = captions.find(id);
        return it == captions.end() ? QString() : it->second;
    }
    void setDisplayCaption(int id, const QString &t) override { captions[id] = t; }

    ButtonColour buttonColour(Group g, int i) const override
    {
        const auto it = colours.find({g, i});
        return it == colours.end() ? ButtonColour::Face : it->second;
    }
    void setButtonColour(Group g, int i, ButtonColour c) override { colours[{g, i}] = c; }
    ButtonColour muteColour() const override { return mute; }
    void setMuteColour(ButtonColour c) override { mute = c; }

    bool isEnabled(Control c) const override
    {
        const auto it = enabled.find(c);
        return it == enabled.end() || it->second;
    }
    void setEnabled(Control c, bool on) override { enabled[c] = on; }

    int value(Control c) const override
    {
        const auto it = values.find(c);
        return it == values.end() ? 0 : it->second;
    }
    void setValue(Control c, int v) override
    {
        if (c == Control::MaxMusicVolume)
            v = std::clamp(v, 1, 62);
        else if (c == Control::MaxMicVolume)
            v = std::clamp(v, 1, 42);
        else if (c == Control::SurroundMode1 || c == Control::SurroundMode2) {
            if (v == 0 || value(c) != 0)
                return; // an option is only ever selected, and re-selecting changes nothing
            values[c == Control::SurroundMode1 ? Control::SurroundMode2 : Control::SurroundMode1] =
                0;
        }
        if (value(c) == v)
            return;
        values[c] = v;
        windowEnabledWhenChanged.push_back(windowEnabled);
        if (onChange)
            onChange(c);
    }

    void setWindowEnabled(bool on) override { windowEnabled = on; }
    QString statusCaption() const override { return status; }
    void setStatusCaption(const QString &t) override { status = t; }
    QString menuOpenFileCaption() const override { return openFileCaption; }
    void showMessage(const QString &t) override { messages << t; }

    // The parameter value a slider shows by its position.
    int shown(int id) const
    {
        const Slider &s = sliders.at(id);
        return s.min + s.max - s.value;
    }
};

} // namespace qj::test
