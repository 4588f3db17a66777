#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace qj {

// Waits for a lost device's path to come back, without polling: the kernel tells of every
// change in the folder that holds the path (the folder of a symbolic link itself, such as
// /dev/serial/by-id, not its target's; the nearest folder above that exists while it does not).
// After each change, and once at the start, the path is looked at for a short while: a device
// node that udev has just made may not open at once.
class DeviceWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kRetryInterval{100};
    static constexpr int kLooks = 15; // 1.5 s of looks after a change, then quiet again

    explicit DeviceWatch(QObject *parent = nullptr);

    void start(const QString &path);
    void stop();
    bool active() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString folder() const { return m_folder; }
    // Whether the looks after a change are still running (nothing runs otherwise).
    bool looking() const { return m_look.isActive() || m_lookHeld; }
    // While a message box of the window is open the looks wait; they start their full interval
    // again once it has closed (and a change meanwhile is looked at then).
    void setHeld(bool held);

signals:
    // The path exists: the device may be back and may be opened.
    void mayBeBack();

private:
    void changed();
    void look();
    void watchNearestFolder();

    QFileSystemWatcher m_watcher;
    QTimer m_look;
    QString m_path;
    QString m_folder;
    int m_looksLeft = 0;
    bool m_held = false;
    bool m_lookHeld = false; // a look was due or running when the box opened
};

} // namespace qj
