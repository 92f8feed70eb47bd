// Typed text kept in its line; cutting fields out of received lines; hut slot numbers and
// nicknames; what the server says of itself.
#include "protocol/HutSlot.h"
#include "protocol/LobbyCommands.h"
#include "protocol/Nickname.h"
#include "protocol/ServerInfo.h"

#include <QTest>
#include <climits>

using namespace LobbyCommands;

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // Typed text never becomes a line break or an IRC command of its own. The other composed lines
    // are checked on the wire by the session and end-to-end tests.
    void typedTextStaysInItsLine()
    {
        QCOMPARE(tavChat("#c", "Ann", QByteArray("a\r\nQUIT :x\0b", 13)), QByteArray("PRIVMSG #c :...TAVCHAT Ann> aQUIT :xb|||\r\n"));
    }
    void fields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("key");  // TAVLIST and TAVQUIT have cuts of their own
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("value");
        const int found = Field::Found, failed = Field::Failed;
        const QByteArray chat = TavChatKey, msg = TavMsgKey, list = "TAVLIST", quit = "TAVQUIT";
        auto row = [](const char *name, const char *line, const QByteArray &key, int status, const char *value = "") {
            QTest::newRow(name) << QByteArray(line) << key << status << QByteArray(value);
        };
        row("chat", ":b PRIVMSG #c :...TAVCHAT b> hi|||\r\n", chat, found, "b> hi");
        row("||| inside", "...TAVCHAT b> a|||b|||\r\n", chat, found, "b> a|||b");
        row("||| not before CR LF", "...TAVCHAT b> a||| \r\n", chat, failed);
        row("no terminator", "...TAVCHAT b> hi\r\n", chat, failed);
        row("first only", "...TAVCHAT a> 1|||\r\n...TAVCHAT b> 2|||\r\n", chat, found, "a> 1");
        row("one character skipped", "...TAVMSGHello|||\r\n", msg, found, "ello");
        row("key at the very end", "...TAVMSG", msg, failed);
        row("list", ":b PRIVMSG #c :...TAVLIST|||bob|||\r\n", list, found, "bob");
        row("list, bars before key", ":a||| PRIVMSG #c :...TAVLIST|||bob|||\r\n", list, found, "bob");
        row("quit, text before bars", ":a||| PRIVMSG #c :TAVQUIT by request|||bob\r\n", quit, found, "bob");
        row("bare GETTAVLIST fails the list", "...GETTAVLIST\r\n", list, failed);
        row("quit without bars", "TAVQUIT bob\r\n", quit, failed);
    }
    void fields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, key);
        QFETCH(int, status);
        QFETCH(QByteArray, value);
        const Field f = key == "TAVLIST" ? listField(line) : key == "TAVQUIT" ? quitField(line) : payload(line, key);
        QCOMPARE(int(f.status), status);
        QCOMPARE(f.value, value);
    }
    void chatPieces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::newRow("fits") << "hello world" << 11 << QByteArrayList{"hello world"};
        QTest::newRow("empty") << "" << 10 << QByteArrayList{""};
        QTest::newRow("at the last blank") << "one two three four" << 10 << QByteArrayList{"one two", "three four"};
        QTest::newRow("no blank") << "abcdefghij" << 4 << QByteArrayList{"abcd", "efgh", "ij"};
        // Two-byte letters, a four-byte emoji, and an e with a combining accent stay whole.
        const QString accented = QString::fromUtf16(u"\u00e9\u00e9\U0001F600e\u0301e");
        QTest::newRow("characters whole") << accented << 5
                                          << QByteArrayList{accented.first(2).toUtf8(), accented.sliced(2, 2).toUtf8(), accented.sliced(4).toUtf8()};
    }
    void chatPieces()
    {
        QFETCH(QString, text);
        QFETCH(int, maxBytes);
        QFETCH(QByteArrayList, pieces);
        QCOMPARE(LobbyCommands::chatPieces(text, maxBytes), pieces);
    }
    // Lines taken apart as servers and strangers send them: tags, blank runs, many parameters.
    void ircLines()
    {
        const auto parts = [](const char *line) {
            const IrcLine m = IrcLine::parse(line);
            QByteArrayList out{m.prefix.toByteArray(), m.senderNick().toByteArray(), m.command.toByteArray()};
            for (qsizetype i = 0; i < m.params().size(); ++i)
                out << m.params()[i].toByteArray();
            return out.join('|');
        };
        QCOMPARE(parts("@t=1 :bob!~b@h PRIVMSG  #c :hi  there\r\n"), "bob!~b@h|bob|PRIVMSG|#c|hi  there");
        QByteArray many = ":s MODE #c +" + QByteArray(70, 'v'), split = "s|s|MODE|#c|+" + QByteArray(70, 'v');
        for (int i = 0; i < 70; ++i)
            many += " " + QByteArray::number(i), split += (i <= 61 ? "|" : " ") + QByteArray::number(i);
        QCOMPARE(parts(many + " :x\r\n"), split + " :x");
        QCOMPARE(parts(""), "||");
        QVERIFY(IrcLine::parse(":a privMsg #c :x").isCommand("PRIVMSG") && IrcLine::parse("ping\r\n").isCommand("PING"));
        QVERIFY(!IrcLine::parse(":a PRIVMSGS #c").isCommand("PRIVMSG") && !IrcLine::parse("PIN").isCommand("PING"));
    }
    // Real 005 lines of ngircd 26 and InspIRCd 3, and lines that change, break or negate their tokens.
    void serverInfo_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<QByteArray>("command");
        // mapping (0 ascii, 1 rfc1459), "@+~Bob" unmarked, "+x" a channel, targets, nickname length, "+hlv-l x 9 Ann" as changes
        QTest::addColumn<QByteArray>("seen");
        const QByteArrayList ngircd{
            ":irc.t 005 Ann RFC2812 IRCD=ngIRCd CHARSET=UTF-8 CASEMAPPING=ascii PREFIX=(qaohv)~&@%+ CHANTYPES=#&+ "
            "CHANMODES=beI,k,l,imMnOPQRstVz CHANLIMIT=#&+:10 :are supported on this server",
            ":irc.t 005 Ann CHANNELLEN=50 NICKLEN=31 TOPICLEN=490 AWAYLEN=127 KICKLEN=400 MODES=5 MAXLIST=beI:50 "
            "EXCEPTS=e INVEX=I PENALTY FNC :are supported on this server"};
        const QByteArrayList inspircd{
            ":irc.t 005 Ann AWAYLEN=200 CASEMAPPING=rfc1459 CHANLIMIT=#:20 CHANMODES=b,k,l,Pimnpst CHANNELLEN=64 "
            "CHANTYPES=# ELIST=CMNTU HOSTLEN=64 KEYLEN=32 KICKLEN=255 LINELEN=512 MAXLIST=b:100 :are supported by this server",
            ":irc.t 005 Ann MAXTARGETS=20 MODES=20 NAMELEN=128 NETWORK=T NICKLEN=31 PREFIX=(ov)@+ SAFELIST "
            "STATUSMSG=@+ TOPICLEN=307 USERLEN=30 USERMODES=,,s,iow WHOX :are supported by this server"};
        const auto row = [](const char *name, QByteArrayList lines, const char *then, const char *command, const char *seen) {
            if (*then)
                lines << ":irc.t 005 Ann " + QByteArray(then) + " :are supported";
            QTest::newRow(name) << lines << QByteArray(command) << QByteArray(seen);
        };
        row("before 005", {}, "", "PRIVMSG", "1 Bob 0 1 0 h%=x,l=9,v+=Ann,l=");
        row("ngircd 26", ngircd, "", "PRIVMSG", "0 Bob 1 1 31 h%=x,l=9,v+=Ann,l=");
        row("InspIRCd 3", inspircd, "", "PRIVMSG", "1 ~Bob 0 20 31 h=,l=x,v+=9,l=");
        row("TARGMAX over MAXTARGETS", inspircd, "TARGMAX=NOTICE:,PRIVMSG:4", "privmsg", "1 ~Bob 0 4 31 h=,l=x,v+=9,l=");
        row("TARGMAX, no limit", inspircd, "TARGMAX=NOTICE:,PRIVMSG:4", "NOTICE", "1 ~Bob 0 2147483647 31 h=,l=x,v+=9,l=");
        row("PREFIX without modes", {}, "PREFIX=@ CHANTYPES=#+", "PRIVMSG", "1 +~Bob 1 1 0 h=,l=x,v=,l=");
        row("malformed", ngircd, "PREFIX=(ov CASEMAPPING= NICKLEN=abc TARGMAX=PRIVMSG:x MAXTARGETS=3", "PRIVMSG", "0 Bob 1 3 31 h%=x,l=9,v+=Ann,l=");
        row("negated", ngircd, "-CASEMAPPING -NICKLEN -PREFIX -CHANTYPES", "PRIVMSG", "1 Bob 0 1 0 h%=x,l=9,v+=Ann,l=");
    }
    void serverInfo()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, command);
        ServerInfo info;
        for (const QByteArray &line : lines)
            info.read005(IrcLine::parse(line));
        QVERIFY(info.isChannel("#TavarineNET_3") && !info.isChannel(""));
        QByteArrayList changes;  // mode, its names-list mark, "=", the parameter it took
        for (const ServerInfo::ModeChange &c : info.modeChanges(IrcLine::parse("MODE #c +hlv-l x 9 Ann").params(), 1))
            changes << c.mode + (c.mark ? QByteArray(1, c.mark) : QByteArray()) + "=" + c.param.toByteArray();
        QTEST(QByteArrayList({QByteArray::number(int(info.caseMapping())), info.stripStatus("@+~Bob").toByteArray(), QByteArray::number(info.isChannel("+x")),
                              QByteArray::number(info.maxTargets(command)), QByteArray::number(info.nickLength()), changes.join(',')})
                  .join(' '),
              "seen");
    }
    void hutSlot()
    {
        for (const auto &[v, n] : {std::pair{"0", 0}, {"1", 1}, {"4", 4}, {"5", 5}, {"11", 11}, {"12", 12}, {"2.5", 2},
                                   {"3.5", 4}, {" 2", 2}, {"3rd", 3}, {"x", 0}, {"70000", INT_MIN}, {"-1", -1}})
            QVERIFY2(HutSlot::readNumber(v).value_or(INT_MIN) == n, v);  // INT_MIN: does not fit 16 bits
    }
    void nicknames()  // what an IRC server can register is refused up front otherwise
    {
        for (const auto &[nick, ok] : {std::pair{u"Ann", true}, {u"a[1]`_^{|}-", true}, {u"", false}, {u"1st", false},
                                       {u"-x", false}, {u"Ann Lee", false}, {u"Zo\u00eb", false}, {u"a!b", false}})
            QVERIFY2(Nickname::isRegistrable(QStringView(nick)) == ok, qPrintable(QStringView(nick).toString()));
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
