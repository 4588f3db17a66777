#include "link/devicewatch.h"

#include <QDir>
#include <QFileInfo>

namespace qj {

DeviceWatch::DeviceWatch(QObject *parent) : QObject(parent), m_watcher(this), m_look(this)
{
    m_look.setSingleShot(true);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DeviceWatch::changed);
    connect(&m_look, &QTimer::timeout, this, &DeviceWatch::look);
}

void DeviceWatch::start(const QString &path)
{
    stop();
    m_path = QFileInfo(path).absoluteFilePath();
    changed(); // the device may be back already
}

void DeviceWatch::stop()
{
    m_look.stop();
    m_lookHeld = false;
    if (!m_folder.isEmpty())
        m_watcher.removePath(m_folder);
    m_folder.clear();
    m_path.clear();
}

void DeviceWatch::changed()
{
    if (!active())
        return;
    watchNearestFolder();
    m_looksLeft = kLooks;
    if (m_held) {
        m_lookHeld = true;
        m_look.setInterval(0);
        return;
    }
    m_look.start(0); // from the event loop: whoever started or told us is done first
}

void DeviceWatch::setHeld(bool held)
{
    m_held = held;
    if (held && m_look.isActive()) {
        m_look.stop();
        m_lookHeld = true;
    } else if (!held && m_lookHeld) {
        m_lookHeld = false;
        if (active())
            m_look.start(); // its interval, in full
    }
}

void DeviceWatch::look()
{
    if (!active())
        return;
    if (--m_looksLeft > 0) {
        m_look.setInterval(kRetryInterval);
        if (m_held)
            m_lookHeld = true;
        else
            m_look.start();
    }
    // The nearest folder may have changed meanwhile (/dev/serial/by-id made anew).
    watchNearestFolder();
    if (QFileInfo::exists(m_path)) // a symbolic link counts once its target is there
        emit mayBeBack();
}

void DeviceWatch::watchNearestFolder()
{
    QString folder = QFileInfo(m_path).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).absolutePath();
    if (folder == m_folder && m_watcher.directories().contains(folder))
        return;
    if (!m_folder.isEmpty())
        m_watcher.removePath(m_folder);
    m_folder = folder;
    m_watcher.addPath(folder);
}

} // namespace qj
