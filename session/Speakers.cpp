#include "session/Speakers.h"

#include "protocol/RegistrationLines.h"

std::optional<QByteArrayView> Speakers::lobbyName(QByteArrayView ircNickname)
{
    const QByteArrayView suffix(RegistrationLines::IrcNickSuffix);
    if (ircNickname.size() <= suffix.size() || !sameName(ircNickname.last(suffix.size()), suffix))
        return std::nullopt;
    return ircNickname.chopped(suffix.size());
}

std::optional<QByteArrayView> Speakers::speaker(const IrcLine &line, Route route) const
{
    if (!line.isCommand("PRIVMSG"))
        return std::nullopt;  // a notice, a topic, a server's reply or a quit reason speaks for nobody
    const QByteArrayView target = line.param(0);
    if (!sameName(target, m_channel) && !(route == Route::ChannelOrPrivate && sameName(target, m_ircNickname)))
        return std::nullopt;
    const std::optional<QByteArrayView> name = lobbyName(line.senderNick());
    if (!name || isIgnored(*name))
        return std::nullopt;
    return name;
}

bool Speakers::said(const IrcLine &line, QByteArrayView name, Route route) const
{
    const std::optional<QByteArrayView> sender = speaker(line, route);
    return sender && !name.isEmpty() && sameName(*sender, name);
}

void Speakers::ignore(QByteArrayView name, bool ignored)
{
    if (ignored)
        m_ignored.insert(name);
    else
        m_ignored.remove(name);
}

bool Speakers::allowPopup(Popup kind, QByteArrayView name, qint64 nowMs)
{
    auto &last = m_lastPopup[kind];
    if (last.size() > 1000)  // forget those long quiet, so a crowd of strangers costs no memory
        std::erase_if(last, [nowMs](const auto &entry) { return nowMs - entry.second >= PopupSpacingMs; });
    const std::string_view key(name.data(), size_t(name.size()));
    const auto found = last.find(key);
    if (found != last.end() && nowMs - found->second < PopupSpacingMs)
        return false;
    if (found != last.end())
        found->second = nowMs;
    else
        last.emplace(key, nowMs);
    return true;
}
