#pragma once

#include <QtGlobal>
#include <utility>

// After the player dismisses a posted link, the link bar stays away for a while, whoever
// posts: a crowd cannot wear the player down into pressing Open. Links posted meanwhile are
// only counted. The time is passed in, in milliseconds of one steady clock.
class LinkHold {
public:
    static constexpr qint64 HoldMs = 60000;

    void dismissed(qint64 nowMs)
    {
        m_until = nowMs + HoldMs;
        m_dismissed = true;
    }
    // Whether a link posted now is held back; each one held back is counted.
    bool holdBack(qint64 nowMs)
    {
        if (!m_dismissed || nowMs >= m_until)
            return false;
        ++m_held;
        return true;
    }
    // How many were held back since the last call.
    int takeHeld() { return std::exchange(m_held, 0); }

private:
    qint64 m_until = 0;
    bool m_dismissed = false;
    int m_held = 0;
};
