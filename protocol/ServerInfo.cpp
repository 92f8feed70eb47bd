#include "protocol/ServerInfo.h"

#include <array>

#include <cstring>

namespace {
bool same(QByteArrayView a, QByteArrayView b)
{
    return IrcLine::sameToken(a, b);  // token and command names: ASCII letters in either case
}

// A positive number and nothing else, or 0.
int positive(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return 0;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}
}  // namespace

void ServerInfo::read005(const IrcLine &line)
{
    if (line.command != "005")
        return;
    const IrcLine::Params &params = line.params();
    // Our nickname first, the human-readable text last.
    for (qsizetype i = 1; i + 1 < params.size(); ++i) {
        QByteArrayView token = params[i];
        const bool negated = token.startsWith('-');
        if (negated)
            token = token.sliced(1);
        const qsizetype eq = token.indexOf('=');
        readToken(eq < 0 ? token : token.first(eq), eq < 0 ? QByteArrayView() : token.sliced(eq + 1), negated);
    }
}

bool ServerInfo::readToken(QByteArrayView name, QByteArrayView value, bool negated)
{
    const ServerInfo defaults;
    if (same(name, "CASEMAPPING")) {
        if (negated)
            m_mapping = defaults.m_mapping;
        else if (same(value, "ascii"))
            m_mapping = CaseMapping::Ascii;
        else if (same(value, "rfc1459"))
            m_mapping = CaseMapping::Rfc1459;
        else if (same(value, "strict-rfc1459"))
            m_mapping = CaseMapping::StrictRfc1459;
        else
            return false;
    } else if (same(name, "PREFIX")) {
        if (negated) {
            setStatusMarks(defaults.m_statusMarks);
            m_statusModes = defaults.m_statusModes;
        } else if (value.startsWith('(')) {  // (modes)marks, one mark for each mode
            const qsizetype close = value.indexOf(')');
            if (close < 0 || close - 1 != value.size() - close - 1)
                return false;
            setStatusMarks(value.sliced(close + 1).toByteArray());
            m_statusModes = value.sliced(1, close - 1).toByteArray();
        } else {
            setStatusMarks(value.toByteArray());  // marks alone; empty: none
            m_statusModes.clear();
        }
    } else if (same(name, "CHANTYPES")) {
        m_chanTypes = negated ? defaults.m_chanTypes : value.toByteArray();
    } else if (same(name, "NICKLEN")) {
        const int n = negated ? defaults.m_nickLength : positive(value);
        if (!negated && n == 0)
            return false;
        m_nickLength = n;
    } else if (same(name, "MAXTARGETS")) {
        const int n = negated ? defaults.m_maxTargets : value.isEmpty() ? Unlimited : positive(value);
        if (n == 0 && !negated)
            return false;
        m_maxTargets = n;
    } else if (same(name, "TARGMAX")) {  // PRIVMSG:4,NOTICE:4,JOIN: (an empty limit: none)
        QList<QPair<QByteArray, int>> table;
        for (qsizetype from = 0; !negated && from < value.size();) {
            qsizetype comma = value.indexOf(',', from);
            if (comma < 0)
                comma = value.size();
            const QByteArrayView entry = value.sliced(from, comma - from);
            const qsizetype colon = entry.indexOf(':');
            const int n = colon < 0 ? 0 : colon + 1 == entry.size() ? Unlimited : positive(entry.sliced(colon + 1));
            if (colon <= 0 || n == 0)
                return false;  // one bad entry spoils the whole token
            table.append({entry.first(colon).toByteArray().toUpper(), n});
            from = comma + 1;
        }
        m_targMax = table;
    } else {
        return false;
    }
    return true;
}

bool ServerInfo::sameFolded(QByteArrayView a, QByteArrayView b) const
{
    const qsizetype n = a.size();
    // Past sameName's own checks: the same bytes eight at a time, the last eight overlapping;
    // else folded byte by byte.
    if (n >= 8) {
        qsizetype i = 0;
        while (i + 8 <= n && eight(a.data() + i) == eight(b.data() + i))
            i += 8;
        if (i + 8 > n && eight(a.data() + n - 8) == eight(b.data() + n - 8))
            return true;
    }
    const NameFolding::Table &f = NameFolding::Tables[int(m_mapping)];
    for (qsizetype i = 1; i < n; ++i)  // the first bytes were found equal already
        if (f[quint8(a[i])] != f[quint8(b[i])])
            return false;
    return true;
}

size_t ServerInfo::hash(std::string_view s) const
{
    const NameFolding::Table &f = NameFolding::Tables[int(m_mapping)];
    size_t h = 14695981039346656037ull;
    for (char c : s)
        h = (h ^ quint8(f[quint8(c)])) * 1099511628211ull;
    return h;
}

ServerInfo::MarkTable ServerInfo::markTable(QByteArrayView marks)
{
    MarkTable t{};
    for (char c : marks)
        t[quint8(c)] = true;
    return t;
}

void ServerInfo::setStatusMarks(QByteArray marks)
{
    m_isMark = markTable(marks);
    m_statusMarks = std::move(marks);
}

QList<ServerInfo::ModeChange> ServerInfo::modeChanges(const IrcLine::Params &params, qsizetype modesAt) const
{
    QList<ModeChange> changes;
    if (modesAt >= params.size())
        return changes;
    qsizetype next = modesAt + 1;
    bool set = true;
    for (char c : params[modesAt]) {
        if (c == '+' || c == '-') {
            set = c == '+';
            continue;
        }
        const qsizetype status = m_statusModes.indexOf(c);
        const bool takesParam = status >= 0 || QByteArrayView("kbeI").contains(c) || (c == 'l' && set);
        const QByteArrayView param = takesParam && next < params.size() ? params[next++] : QByteArrayView();
        changes.append({set, c, param, status >= 0 && status < m_statusMarks.size() ? m_statusMarks[status] : '\0'});
    }
    return changes;
}

bool ServerInfo::isChannel(QByteArrayView target) const
{
    return !target.isEmpty() && m_chanTypes.contains(target[0]);
}

int ServerInfo::maxTargets(QByteArrayView command) const
{
    for (const auto &[name, n] : m_targMax)
        if (same(name, command))
            return n;
    return m_maxTargets > 0 ? m_maxTargets : 1;
}
