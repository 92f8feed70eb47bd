// The registration lines and captions, byte for byte, and the nickname check at login.
#include "session/LobbySession.h"
#include "protocol/Nickname.h"
#include "protocol/RegistrationLines.h"

#include <QTest>

class TestRegistrationLines : public QObject {
    Q_OBJECT
private slots:
    void linesByteForByte();
    void captions();
    void nicknames_data();
    void nicknames();
};

void TestRegistrationLines::linesByteForByte()
{
    using namespace RegistrationLines;
    QCOMPARE(nick("Ann"), QByteArray("NICK AnnOnTavNET\r\n"));
    QCOMPARE(user("Ann", "10.0.0.7"),
             QByteArray("USER AnnOnTavNET \"tavarinenet.lobby\" \"10.0.0.7\" :TavUser\r\n"));
    QCOMPARE(join("#TavarineNET_3"), QByteArray("JOIN #TavarineNET_3\r\n"));
    QCOMPARE(mode("#TavarineNET_3"), QByteArray("MODE #TavarineNET_3\r\n"));
    QCOMPARE(pong("irc.test.local"), QByteArray("PONG :irc.test.local\r\n"));
}

void TestRegistrationLines::captions()
{
    SharedState s;
    s.Nickname = "Ann";
    s.ChannelName = "#TavarineNET_4";
    QCOMPARE(LobbySession::captionFor(7, s), QStringLiteral("Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 4"));
    QCOMPARE(LobbySession::captionFor(6, s), QStringLiteral("Tavarine IRC Client, Connecting"));
    QCOMPARE(LobbySession::captionFor(9, s), QStringLiteral("Tavarine IRC Client, Dis-Connected"));
    QCOMPARE(LobbySession::captionFor(8, s), QStringLiteral("Tavarine IRC Client, Dis-Connected (Server has kicked you)"));
    QCOMPARE(LobbySession::captionFor(0, s), QStringLiteral("Tavarine IRC Client, Not Connected"));
    QCOMPARE(LobbySession::captionFor(4, s), QStringLiteral("Tavarine IRC Client, Not Connected"));
}

void TestRegistrationLines::nicknames_data()
{
    QTest::addColumn<QString>("nickname");
    QTest::addColumn<bool>("registrable");
    QTest::newRow("plain") << "Ann" << true;
    QTest::newRow("all specials") << "a[]\\`_^{|}-9" << true;
    QTest::newRow("leading special") << "[x]" << true;
    QTest::newRow("leading digit") << "9lives" << false;
    QTest::newRow("leading dash") << "-x" << false;
    QTest::newRow("blank") << "Ann Lee" << false;
    QTest::newRow("non-ASCII letter") << QStringLiteral("Zoë") << false;
    QTest::newRow("protocol separator") << "a>b" << false;
    QTest::newRow("CR") << "a\rb" << false;
}

void TestRegistrationLines::nicknames()
{
    QFETCH(QString, nickname);
    QFETCH(bool, registrable);
    QCOMPARE(Nickname::isRegistrable(nickname), registrable);
}

QTEST_GUILESS_MAIN(TestRegistrationLines)
#include "tst_registration_lines.moc"
