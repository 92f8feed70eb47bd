#pragma once

#include "PlainIrcClient.h"

#include <array>

// A lobby client of the first kind, following the lobby's rules literally: it registers as
// "<name>OnTavNET", joins the channel and reacts to every line it receives, whoever sent it and
// however (channel, private message or notice): it announces itself at every JOIN and QUIT and
// believes every name it reads. It writes each line as soon as it decides it.
class ClassicPeer : public PlainIrcClient {
public:
    explicit ClassicPeer(const QByteArray &name, const QByteArray &channel = "#TavarineNET_3") : name(name), channel(channel) {}
    bool enter(quint16 port) { return PlainIrcClient::enter(port, name + "OnTavNET", channel); }
    void take(int slot)  // places 1 to 4
    {
        places.at(slot - 1) = name;
        mySlot = slot;
        announce(false);
    }

    const QByteArray name, channel;
    QByteArrayList list;               // the names it heard of, in order, never its own
    std::array<QByteArray, 4> places;  // the holders of places 1 to 4 as it heard them
    int mySlot = 0;

protected:
    void onLine(const QByteArray &line) override
    {
        const qsizetype bars = line.indexOf("|||"), next = bars < 0 ? -1 : line.indexOf("|||", bars + 3), quit = line.indexOf("TAVQUIT|||");
        if (line.contains("GETTAVLIST"))
            say("...TAVLIST|||" + name + "|||");
        if (line.contains("TAVLIST") && next >= 0)
            add(line.mid(bars + 3, next - bars - 3));
        if (line.contains("QUIT :")) {
            list.clear();
            places = {};
            if (mySlot > 0)
                places.at(mySlot - 1) = name;  // as the old client's timer put it back
            announce(true);
        }
        if (line.contains("JOIN :"))
            announce(true);
        if (quit >= 0)
            list.removeAll(line.mid(quit + 10));
        if (const auto exit = fields(line, "...TAVHUT1EXIT "))
            setPlace(exit->second, {});
        else if (const auto hut = fields(line, "...TAVHUT1 "))
            setPlace(hut->second, hut->first);
        if (line.contains("GETHUTLIST"))
            announce(false);
        if (const auto said = fields(line, "...TAVCHAT "))
            add(said->first);
    }

private:
    void say(const QByteArray &text) { send("PRIVMSG " + channel + " :" + text + "\r\n"); }
    void announce(bool withList)  // the place only while it holds one
    {
        if (withList)
            say("...TAVLIST|||" + name + "|||");
        if (mySlot > 0)
            say("...TAVHUT1 " + name + "> " + QByteArray::number(mySlot) + "|||");
    }
    void add(const QByteArray &n)
    {
        if (!n.isEmpty() && n != name && !list.contains(n))
            list.append(n);
    }
    void setPlace(const QByteArray &slot, const QByteArray &holder)
    {
        if (const int n = slot.toInt(); n >= 1 && n <= 4)
            places.at(n - 1) = holder;
    }
    // "<key><name>> <value>|||": the name and the value, when the line holds them whole.
    static std::optional<std::pair<QByteArray, QByteArray>> fields(const QByteArray &line, const QByteArray &key)
    {
        const qsizetype at = line.indexOf(key), gt = line.indexOf("> ", at), end = line.indexOf("|||", gt);
        if (at < 0 || gt < 0 || end < 0)
            return std::nullopt;
        return std::pair(line.mid(at + key.size(), gt - at - key.size()), line.mid(gt + 2, end - gt - 2));
    }
};
