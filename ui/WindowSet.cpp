#include "ui/WindowSet.h"

#include "protocol/WireText.h"
#include "ui/Lobby.h"
#include "ui/LobbySelect.h"
#include "ui/LoginForm.h"
#include "ui/Resource.h"
#include "ui/StartOptions.h"

#include <QMessageBox>

WindowSet::WindowSet(const QList<ServerAddress> &commandLine, QObject *parent)
    : QObject(parent), m_servers(chooseServers(commandLine, m_settings.servers()))
{
}

WindowSet::~WindowSet()
{
    delete m_lobby;
    delete m_lobbySelect;
    delete m_loginForm;
}

Resource &WindowSet::resource()
{
    if (!m_resource)
        m_resource = std::make_unique<Resource>();
    return *m_resource;
}

LoginForm *WindowSet::loginForm()
{
    if (!m_loginForm) {
        m_loginForm = new LoginForm;
        connect(m_loginForm, &LoginForm::loggedIn, this, &WindowSet::onLoggedIn);
        connect(m_loginForm, &LoginForm::exitRequested, this, &WindowSet::end);
        connect(m_loginForm, &LoginForm::serversChosen, this, [this](const QList<ServerAddress> &servers) {
            m_settings.setServers(servers);
            m_servers = chooseServers(servers, {});
        });
        m_loginForm->setNickname(m_settings.nickname());
        m_loginForm->setServers(m_servers);
        connect(m_loginForm, &QObject::destroyed, this, &WindowSet::onEarlyWindowClosed, Qt::QueuedConnection);
    }
    return m_loginForm;
}

LobbySelect *WindowSet::lobbySelect() const
{
    return m_lobbySelect;
}

Lobby *WindowSet::lobby() const
{
    return m_lobby;
}

void WindowSet::start()
{
    loginForm()->show();
    if (const QString notice = m_settings.takeNotice(); !notice.isEmpty()) {
        auto *box = new QMessageBox(QMessageBox::Warning, m_loginForm->windowTitle(), notice, QMessageBox::Ok, m_loginForm);
        box->setObjectName(QStringLiteral("SettingsNotice"));
        box->setTextFormat(Qt::PlainText);  // it quotes the file
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void WindowSet::onLoggedIn(const QString &nickname)
{
    m_nickname = WireText::encode(nickname);
    m_settings.setNickname(nickname);
    m_lobbySelect = new LobbySelect;
    m_lobbySelect->preselect(m_settings.lobby());
    connect(m_lobbySelect, &LobbySelect::lobbyChosen, this, &WindowSet::onLobbyChosen);
    connect(m_lobbySelect, &QObject::destroyed, this, &WindowSet::onEarlyWindowClosed, Qt::QueuedConnection);
    m_lobbySelect->show();
    m_loginForm->close();
}

void WindowSet::onLobbyChosen(int lobby)
{
    if (m_session) {  // one lobby per run: a second choice only brings it back
        m_lobbySelect->close();
        if (m_lobby)
            m_lobby->raise();
        return;
    }
    m_settings.setLobby(lobby);
    m_session = std::make_unique<LobbySession>(m_nickname, "#TavarineNET_" + QByteArray::number(lobby));
    m_lobby = new Lobby(*m_session, *m_session, resource());
    m_session->setView(m_lobby);
    // The session owns the end: once its last lines are out, after the window closed or a launch.
    connect(m_session.get(), &LobbySession::finished, this, &WindowSet::programEnded);
    connect(m_lobby, &Lobby::closed, this, [this] {
        m_session->setView(nullptr);  // the window is going: nothing more is shown
        end();
    });
    connect(m_lobby, &Lobby::loginFormRequested, this, [this] { loginForm()->show(); });
    connect(m_lobby, &Lobby::trusted, this, [this](const QString &server, const QByteArray &fingerprint) {
        if (const auto address = ServerAddress::parse(server))
            m_settings.setPin(*address, fingerprint);
    });
    m_session->Form_Load(m_servers, [this](const ServerAddress &server) { return m_settings.pin(server); });
    m_lobby->show();
    m_lobbySelect->close();
}

// Closing the nickname or lobby window by its frame leaves nothing to use: end the program.
void WindowSet::onEarlyWindowClosed()
{
    if (!m_loginForm && !m_lobbySelect && !m_lobby)
        end();
}

void WindowSet::end()
{
    if (m_session)
        m_session->closeLobby();  // finished() follows, once, however many doors were used
    else
        emit programEnded();
}
