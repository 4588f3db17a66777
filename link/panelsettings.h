#pragma once

#include "link/portbindings.h"

class QSettings;

namespace qj {

// What the panel remembers between runs: the language of its captions and which device
// stands behind each port number. qj-ctl reads the bindings too, so its --port N names the
// device the panel would open.
//     language = en | zh_CN
//     ports/<number> = <device>        e.g. ports/5 = /dev/ttyUSB0
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

    explicit PanelSettings(QSettings &settings);

    bool english() const; // Chinese unless English was chosen
    void setEnglish(bool english);

    // Adds the remembered bindings; a number or device that is not valid is skipped.
    void loadBindings(PortBindings &into) const;
    // Replaces the remembered bindings with these.
    void saveBindings(const PortBindings &bindings);

private:
    QSettings &m_settings;
};

} // namespace qj
