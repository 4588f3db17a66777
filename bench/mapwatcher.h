#pragma once

#include "bench/benchclock.h"

#include <chrono>
#include <optional>
#include <string>

namespace qj::bench {

// Watches the X server for top-level windows being mapped, the moment a window appears on the
// screen, from a connection of our own (the panel under test is another process).
class MapWatcher
{
public:
    struct Mapped
    {
        unsigned long window;
        TimePoint at; // when the server's notice reached us
    };

    MapWatcher() = default;
    ~MapWatcher();
    MapWatcher(const MapWatcher &) = delete;
    MapWatcher &operator=(const MapWatcher &) = delete;

    // Connects to $DISPLAY and starts listening. Call before starting the program watched.
    bool open();
    // Waits until a top-level window whose title contains `title` is mapped.
    std::optional<Mapped> waitForWindow(const std::string &title,
                                        std::chrono::milliseconds timeout);
    // Forgets notices that came before now.
    void drain();

private:
    std::string titleOf(unsigned long window);

    void *m_display = nullptr; // Display *, kept out of this header with Xlib's macros
};

} // namespace qj::bench
