#pragma once

#include <QByteArray>

// Who this client saw holding the hut's place 1, and whether a launch from them
// still counts: while they hold it, and for a short grace after their own exit
// (a host sends its exit, then its launch). Refreshing the hut's picture forgets
// nothing here; the host leaving the channel does.
class HutHost {
public:
    static constexpr int ExitGraceMs = 10000;

    void sawHolding(QByteArrayView name)
    {
        m_name = name.toByteArray();
        m_exited = false;
    }
    // The host's own exit of place 1; false when the name is not the host.
    bool sawExit(QByteArrayView name)
    {
        if (!is(name))
            return false;
        m_exited = true;
        return true;
    }
    void exitGraceOver()
    {
        if (m_exited)
            m_name.clear();
    }
    void forget() { m_name.clear(); }
    // A launch from this name counts.
    bool is(QByteArrayView name) const { return !m_name.isEmpty() && name == m_name; }
    // Holds place 1 now, whatever the hut's picture shows after a refresh.
    bool holdsPlace() const { return !m_name.isEmpty() && !m_exited; }
    const QByteArray &name() const { return m_name; }

private:
    QByteArray m_name;
    bool m_exited = false;
};
