#pragma once

#include <QByteArray>

#include <sys/types.h>

// An Xvfb of the bench's own on a display number nobody else uses, so window
// figures come from a real X server through the xcb platform. Started before
// QApplication exists (it needs DISPLAY), hence plain fork and exec.
class VirtualDisplay {
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    static constexpr const char *Screen = "1024x768x24";

    bool start();
    void stop();
    QByteArray name() const { return m_name; }  // ":N"
    QByteArray errorString() const { return m_error; }

private:
    pid_t m_pid = -1;
    QByteArray m_name;
    QByteArray m_error;
};
