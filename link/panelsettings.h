#pragma once

#include "link/portbindings.h"

#include <QPoint>
#include <QString>

#include <optional>

class QSettings;

namespace qj {

// What the panel remembers between runs: the language of its captions, which device stands
// behind each port number, where the window was left and the folder of the last preset file.
// qj-ctl reads the bindings too, so its --port N names the device the panel would open.
//     language = en | zh_CN
//     ports/<number> = <device>        e.g. ports/5 = /dev/ttyUSB0
//     window/position = @Point(x y)    the window's top-left corner, its frame included
//     presets/folder = <folder>
class PanelSettings
{
public:
    // The settings' owner: ~/.config/QJ/QJ.conf.
    static constexpr char kOrganization[] = "QJ";
    static constexpr char kApplication[] = "QJ";
    static constexpr char kLanguageKey[] = "language";
    static constexpr char kPortsGroup[] = "ports";
    static constexpr char kEnglish[] = "en";
    static constexpr char kChinese[] = "zh_CN";
    static constexpr char kPositionKey[] = "window/position";
    static constexpr char kFolderKey[] = "presets/folder";

    explicit PanelSettings(QSettings &settings);

    // The language chosen with the switch: true English, false Chinese, none when never chosen.
    std::optional<bool> english() const;
    void setEnglish(bool english);

    // Adds the remembered bindings; a number or device that is not valid is skipped.
    void loadBindings(PortBindings &into) const;
    // Replaces the remembered bindings with these.
    void saveBindings(const PortBindings &bindings);

    std::optional<QPoint> windowPosition() const;
    void setWindowPosition(QPoint position);
    QString presetFolder() const; // empty when none is remembered
    void setPresetFolder(const QString &folder);

private:
    QSettings &m_settings;
};

} // namespace qj
