// A user sending lines as fast as they can is never taken for a flood, on either
// server with its default flood settings.
#include "Crowd.h"

using namespace Crowd;

class TestFloodControlE2E : public QObject {
    Q_OBJECT
private slots:
    void fiftyChatLinesAtOnce();
};

void TestFloodControlE2E::fiftyChatLinesAtOnce()
{
    // Both servers at the same time, so the paced sending is waited out once.
    const RealIrcServer::Kind kinds[] = {RealIrcServer::Kind::NgIrcd, RealIrcServer::Kind::InspIRCd};
    RealIrcServer servers[2];
    std::vector<std::unique_ptr<PlainIrcClient>> listeners;
    Lobby lobbies[2];
    for (int i = 0; i < 2; ++i) {
        RealIrcServer::Options options;
        options.kind = kinds[i];
        options.defaultFloodSettings = true;
        QVERIFY2(servers[i].start(options), qPrintable(servers[i].errorString()));
        QVERIFY(enter(lobbies[i], servers[i], {"Ann"}));
        listeners.push_back(std::make_unique<PlainIrcClient>("bob"));
        QVERIFY(listeners.back()->connectAndRegister(servers[i].host(), servers[i].port()));
        QVERIFY(listeners.back()->join(Channel));
    }
    for (int n = 0; n < 50; ++n)
        for (Lobby &lobby : lobbies)
            QVERIFY(lobby.at("Ann").Send_Click(QStringLiteral("line %1").arg(n)));

    for (int i = 0; i < 2; ++i) {
        QVERIFY2(listeners[i]->waitForReceived("...TAVCHAT Ann> line 49|||", 120000),
                 qPrintable(servers[i].output().right(2000)));
        const QByteArray got = listeners[i]->received();
        for (int n = 0; n < 50; ++n)  // all of them, in their order
            QVERIFY(got.indexOf("Ann> line " + QByteArray::number(n) + "|||")
                    < got.indexOf("Ann> line " + QByteArray::number(n + 1) + "|||") || n == 49);
        LobbySession &ann = lobbies[i].at("Ann");
        QVERIFY(ann.socket().isConnected());
        QVERIFY(!ann.state().InboundLog.text().contains("ERROR :Closing link"));
    }
}

QTEST_GUILESS_MAIN(TestFloodControlE2E)
#include "tst_flood_control_e2e.moc"
