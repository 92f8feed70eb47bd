#pragma once

#include <QByteArrayView>

#include <cstring>

// One IRC line taken apart once: optional tags and prefix, the command, the
// parameters (the trailing one without its colon). Used to recognise server
// events by their command instead of by text anywhere in the line. Every part
// is a view into the line, which must outlive it: taking a line apart allocates nothing.
struct IrcLine {
    // The protocol allows 15, but a server announcing MODES=20 sends MODE lines of up to 22.
    // A longer line's rest is its last parameter.
    static constexpr qsizetype MaxParams = 64;
    // Views in place: a line's slots are neither allocated nor cleared.
    class Params {
    public:
        Params() {}
        qsizetype size() const { return m_size; }
        bool isEmpty() const { return m_size == 0; }
        QByteArrayView operator[](qsizetype i) const { return m_at[i]; }
        QByteArrayView last() const { return m_at[m_size - 1]; }

    private:
        friend struct IrcLine;
        void append(QByteArrayView v) { m_at[m_size++] = v; }
        union {
            QByteArrayView m_at[MaxParams];
        };
        qsizetype m_size = 0;
    };

    QByteArrayView prefix;
    QByteArrayView command;  // as sent: compare with isCommand()

    static IrcLine parse(QByteArrayView line);
    // Cut once, as the line is taken apart: a line goes through many rules that each ask.
    const Params &params() const { return m_params; }
    QByteArrayView param(qsizetype i) const { return i < m_params.size() ? m_params[i] : QByteArrayView(); }
    // A command's name as the code spells it, made when compiled: up to eight bytes,
    // upper-cased, in one number.
    struct Name {
        template <std::size_t N>
        consteval Name(const char (&text)[N]) : size(N - 1)
        {
            static_assert(N - 1 <= 8, "a longer name needs a comparison of its own");
            for (std::size_t i = 0; i + 1 < N; ++i)
                code |= quint64(upper(text[i])) << (8 * i);
        }
        quint64 code = 0;
        qsizetype size;
    };
    // Commands match whatever their letter case. Every rule asks for the command of every
    // line: one number against another.
    bool isCommand(Name name) const { return name.size == command.size() && name.code == m_code; }
    // The command as a Name's code, for a switch over several (0 when longer than eight bytes).
    quint64 commandCode() const { return m_code; }
    // The nickname of the prefix "nick!user@host".
    QByteArrayView senderNick() const { return m_nick; }
    // Its host: where the server sees the sender; empty without one.
    QByteArrayView senderHost() const
    {
        const qsizetype at = prefix.lastIndexOf('@');
        return at < 0 ? QByteArrayView() : prefix.sliced(at + 1);
    }
    // Commands and 005 token names match whatever the case of their ASCII letters. Nicknames
    // and channels are compared as the server folds them: ServerInfo::sameName.
    static bool sameToken(QByteArrayView a, QByteArrayView b) { return sameAscii(a, b); }
    // Each entry of a names list (a 353's last parameter), status marks included, without a
    // copy; `each` returns false to stop.
    template <typename Each>
    static void forEachName(QByteArrayView names, Each each)
    {
        for (qsizetype start = 0; start < names.size();) {
            const void *found = std::memchr(names.data() + start, ' ', size_t(names.size() - start));
            const qsizetype blank = found ? static_cast<const char *>(found) - names.data() : names.size();
            if (!each(names.sliced(start, blank - start)))
                return;
            start = blank + 1;
        }
    }

private:
    static quint64 codeOf(QByteArrayView command);
    static constexpr quint8 upper(char c) { return quint8(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }
    Params m_params;
    QByteArrayView m_nick;  // many rules ask whose line it is
    quint64 m_code = 0;  // the command's as a Name's, when it is eight bytes or fewer

    static bool sameAscii(QByteArrayView a, QByteArrayView b)
    {
        if (a.size() != b.size())
            return false;
        if (a.isEmpty() || std::memcmp(a.data(), b.data(), size_t(a.size())) == 0)
            return true;  // the usual case: the same letters in the same case
        for (qsizetype i = 0; i < a.size(); ++i)
            if (upper(a[i]) != upper(b[i]))
                return false;
        return true;
    }
};
