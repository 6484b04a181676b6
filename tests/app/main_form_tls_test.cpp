// SPDX-License-Identifier: GPL-3.0-or-later
// The main window over TLS to the real server: the certificate trusted on first use, a changed key refused,
// an authority's certificate accepted silently, the padlock, and a TLS layer that fails.

#include "main_form_fixture.h"

#include "chat_client.h"
#include "cp1251.h"
#include "peer_client.h"
#include "real_server.h"
#include "scripted_peer.h"
#include "server_trust_dialog.h"

#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTemporaryDir>
#include <QTimer>

namespace kovrel::test {
namespace {

// Answers the trust question whenever it comes up (it runs an event loop of its own) with the button
// named, and keeps what it showed.
class TrustAnswerer
{
public:
    explicit TrustAnswerer(const char* answer) : button(answer)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<TServerTrustDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog == m_answering) {
                return;
            }
            m_answering = dialog;
            ++asked;
            title = dialog->windowTitle();
            shown.clear();
            for (const QLabel* label : dialog->findChildren<QLabel*>()) {
                shown += label->text() + u'\n' + label->accessibleName() + u'\n';
            }
            QTimer::singleShot(delay, dialog,
                               [this, dialog] { control<QPushButton>(dialog, button)->click(); });
        });
        m_timer.start(0);
    }

    const char* button;
    // How long the user takes to answer.
    std::chrono::milliseconds delay{0};
    int asked = 0;
    QString title;
    QString shown;

private:
    QTimer m_timer;
    QPointer<TServerTrustDialog> m_answering;
};

// Types `password` into the password question whenever it comes up, and counts the questions.
class PasswordTyper
{
public:
    explicit PasswordTyper(QString password) : m_password(std::move(password))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                ++asked;
                question = dialog->labelText();
                dialog->setTextValue(m_password);
                dialog->accept();
            }
        });
        m_timer.start(0);
    }

    int asked = 0;
    QString question;

private:
    QString m_password;
    QTimer m_timer;
};

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString() << ": "
                                     << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class MainFormTlsTest : public MainFormTest
{
protected:
    // A server with a plain and a TLS listener, and the certificate options given.
    static std::unique_ptr<RealServer> startServer(const QStringList& certificate)
    {
        auto server = std::make_unique<RealServer>(
            0, QStringList{QStringLiteral("--tls-listen"), QStringLiteral("127.0.0.1:0")} + certificate);
        EXPECT_NE(server->tlsPort(), 0);
        return server;
    }

    // What the administrator hands to the users.
    static QString fingerprintOf(const QString& folder)
    {
        return run(QStringLiteral(KOVREL_SERVER_BINARY),
                   {QStringLiteral("--fingerprint"), QStringLiteral("--tls-dir"), folder});
    }

    void pointAtTls(quint16 port)
    {
        pointAt(port);
        WriteUseTls(true);
    }

    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_server->tlsPort()); }
    QLabel* lock() const { return control<QLabel>(form.get(), "EncryptionLock"); }
    bool online() const { return loginCaption() == QStringLiteral("выход"); }

    QTemporaryDir m_folder;
    // Its own certificate, kept in the folder.
    std::unique_ptr<RealServer> m_server =
        startServer(QStringList{QStringLiteral("--tls-dir"), m_folder.path()});
};

TEST_F(MainFormTlsTest, TrustedOnFirstUseThenTalksWithAPlainClientUnderThePadlock)
{
    const QString fingerprint = fingerprintOf(m_folder.path());
    ASSERT_EQ(fingerprint.size(), 95);
    pointAtTls(m_server->tlsPort());
    openWindow();
    EXPECT_FALSE(lock()->isVisible());
    {
        TrustAnswerer answerer("TrustButton");
        button("ToolButton1")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return online(); })) << commonText().toStdString();
        EXPECT_EQ(answerer.asked, 1);
        EXPECT_EQ(answerer.title, QStringLiteral("Сертификат сервера"));
        EXPECT_TRUE(answerer.shown.contains(server()));
        EXPECT_TRUE(answerer.shown.contains(fingerprint)) << answerer.shown.toStdString();
    }
    EXPECT_EQ(ReadTrustedFingerprint(server()), fingerprint);
    EXPECT_TRUE(waitForCommon(QStringLiteral("не заверен известным центром сертификации")));
    EXPECT_TRUE(waitForCommon(
        QStringLiteral("Соединение зашифровано: TLSv1.3, отпечаток сертификата SHA-256 ") + fingerprint));
    EXPECT_TRUE(lock()->isVisible());
    EXPECT_EQ(lock()->accessibleName(), QStringLiteral("Соединение зашифровано"));
    EXPECT_TRUE(lock()->toolTip().contains(fingerprint));

    PeerClient plain(m_server->port());
    ASSERT_TRUE(plain.logIn("Петя"));
    ASSERT_TRUE(waitForCommon(QStringLiteral("К нам пришёл (пришла) Петя...")));
    typeAndSend(QStringLiteral("шифрованный привет"));
    EXPECT_EQ(plain.waitFor("AllUser|Вася|"), "AllUser|Вася|шифрованный привет");
    plain.sayPublic("открытый ответ");
    EXPECT_TRUE(waitForCommon(QStringLiteral("Петя: открытый ответ")));

    // Trusted once, the server is not asked about again.
    button("ToolButton1")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !online(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lock()->isVisible(); }));
    TrustAnswerer notAgain("RefuseButton");
    ASSERT_TRUE(logIn());
    EXPECT_EQ(notAgain.asked, 0);
}

TEST_F(MainFormTlsTest, ARefusedCertificateEndsTheLogInAndIsNotKept)
{
    pointAtTls(m_server->tlsPort());
    openWindow();
    TrustAnswerer answerer("RefuseButton");
    button("ToolButton1")->click();
    ASSERT_TRUE(waitForCommon(QStringLiteral("Сертификат сервера %1 не принят").arg(server())));
    EXPECT_EQ(answerer.asked, 1);
    EXPECT_FALSE(online());
    EXPECT_FALSE(lock()->isVisible());
    EXPECT_EQ(ReadTrustedFingerprint(server()), QString());
    EXPECT_TRUE(button("ToolButton1")->isEnabled());
}

// Automatic log-in asks once and then waits for the user, however long the question stays open; a refusal
// ends its attempts instead of asking again at every step of its back-off.
TEST_F(MainFormTlsTest, AutomaticLogInAsksOnceAndWaitsForTheAnswer)
{
    pointAtTls(m_server->tlsPort());
    openWindow();
    form->client().session().setAutoLoginUnit(std::chrono::milliseconds(20));
    TrustAnswerer answerer("RefuseButton");
    answerer.delay = std::chrono::milliseconds(500); // five steps of the back-off
    action("StartonRun1")->trigger();
    ASSERT_TRUE(waitForCommon(QStringLiteral("Сертификат сервера %1 не принят").arg(server())));
    QTest::qWait(500);
    EXPECT_EQ(answerer.asked, 1);
    EXPECT_EQ(commonText().count(QStringLiteral("Ошибка TLS")), 1) << commonText().toStdString();
    EXPECT_FALSE(online());

    // Logging in by hand asks again, and a trusted certificate lets automatic log-in go on as before.
    answerer.button = "TrustButton";
    ASSERT_TRUE(logIn());
    EXPECT_EQ(answerer.asked, 2);
}

TEST_F(MainFormTlsTest, AChangedKeyIsRefusedUntilTheUserAcceptsItKnowingBothFingerprints)
{
    const QString before = QStringLiteral("00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:"
                                          "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF");
    const QString now = fingerprintOf(m_folder.path());
    WriteTrustedFingerprint(server(), before);
    pointAtTls(m_server->tlsPort());
    openWindow();
    {
        TrustAnswerer answerer("RefuseButton");
        button("ToolButton1")->click();
        ASSERT_TRUE(waitForCommon(QStringLiteral("Сертификат сервера %1 не принят").arg(server())));
        EXPECT_EQ(answerer.title, QStringLiteral("Ключ сервера изменился"));
        EXPECT_TRUE(answerer.shown.contains(before));
        EXPECT_TRUE(answerer.shown.contains(now));
        EXPECT_TRUE(commonText().contains(
            QStringLiteral("ключ сервера %1 изменился! Возможно, это атака").arg(server())));
        EXPECT_FALSE(online());
        EXPECT_EQ(ReadTrustedFingerprint(server()), before) << "refusing keeps the old key";
    }
    TrustAnswerer answerer("TrustButton");
    button("ToolButton1")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return online(); })) << commonText().toStdString();
    EXPECT_EQ(ReadTrustedFingerprint(server()), now);
}

TEST_F(MainFormTlsTest, ACertificateOfAKnownAuthorityIsAcceptedWithoutAQuestion)
{
    // A test authority, and a server certificate it signs for 127.0.0.1.
    const QDir folder(m_folder.path());
    const auto file = [&](const char* name) { return folder.filePath(QLatin1String(name)); };
    const QString openssl = QStringLiteral("openssl");
    const QStringList newKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes")};
    run(openssl, QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey +
                     QStringList{QStringLiteral("-keyout"), file("ca.key"), QStringLiteral("-out"),
                                 file("ca.crt"), QStringLiteral("-days"), QStringLiteral("2"),
                                 QStringLiteral("-subj"), QStringLiteral("/CN=Kovrel test authority")});
    run(openssl,
        QStringList{QStringLiteral("req")} + newKey +
            QStringList{QStringLiteral("-keyout"), file("server.key"), QStringLiteral("-out"),
                        file("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
    QFile extensions(file("server.ext"));
    ASSERT_TRUE(extensions.open(QIODevice::WriteOnly));
    extensions.write("subjectAltName=IP:127.0.0.1\n");
    extensions.close();
    run(openssl,
        {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), file("server.csr"),
         QStringLiteral("-CA"), file("ca.crt"), QStringLiteral("-CAkey"), file("ca.key"),
         QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
         QStringLiteral("-extfile"), file("server.ext"), QStringLiteral("-out"), file("server.crt")});
    m_server = startServer(QStringList{QStringLiteral("--tls-cert"), file("server.crt"),
                                       QStringLiteral("--tls-key"), file("server.key")});

    // The authority stands in for the system's own.
    const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
    QSslConfiguration withTestAuthority = system;
    ASSERT_TRUE(withTestAuthority.addCaCertificates(file("ca.crt")));
    QSslConfiguration::setDefaultConfiguration(withTestAuthority);
    const auto restore = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(system); });

    pointAtTls(m_server->tlsPort());
    openWindow();
    TrustAnswerer answerer("RefuseButton");
    ASSERT_TRUE(logIn());
    EXPECT_EQ(answerer.asked, 0);
    EXPECT_TRUE(lock()->isVisible());
    EXPECT_EQ(ReadTrustedFingerprint(server()), QString()) << "nothing to pin";
}

TEST_F(MainFormTlsTest, TlsToThePlainPortIsAFailedHandshakeNotAHang)
{
    pointAtTls(m_server->port());
    openWindow();
    button("ToolButton1")->click();
    ASSERT_TRUE(waitForCommon(
        QStringLiteral("Ошибка TLS: рукопожатие с 127.0.0.1:%1 не удалось").arg(m_server->port())))
        << "[" << commonText().toStdString() << "]";
    EXPECT_FALSE(online());
    EXPECT_FALSE(lock()->isVisible());
}

// A nick reserved on the server: taken with its password, refused with a wrong one (no spare nick then), and
// a client that sends no password gets its spare nick, as before accounts.
TEST_F(MainFormTlsTest, AReservedNickIsTakenWithItsPasswordOnly)
{
    const QString state = QDir(m_folder.path()).filePath(QStringLiteral("state.db"));
    QProcess add;
    add.start(QStringLiteral(KOVREL_SERVER_BINARY),
              {QStringLiteral("--state"), state, QStringLiteral("--add-account"), QStringLiteral("Вася")});
    add.write("верный пароль\n");
    add.closeWriteChannel();
    ASSERT_TRUE(add.waitForFinished(30000));
    ASSERT_EQ(add.exitCode(), 0) << add.readAllStandardError().toStdString();
    m_server = startServer(
        QStringList{QStringLiteral("--tls-dir"), m_folder.path(), QStringLiteral("--state"), state});
    WriteTrustedFingerprint(server(), fingerprintOf(m_folder.path()));
    pointAtTls(m_server->tlsPort());
    openWindow();

    // Without a password the reserved nick is taken: the spare one is used.
    ASSERT_TRUE(logIn());
    EXPECT_TRUE(waitForCommon(QStringLiteral("К нам пришёл (пришла) Василий...")));
    button("ToolButton1")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !online(); }));

    WriteNick(QStringLiteral("Вася"));
    WriteAnotherNick(QStringLiteral("Василий"));
    WriteUsePassword(true);
    {
        PasswordTyper typer(QStringLiteral("неверный"));
        button("ToolButton1")->click();
        ASSERT_TRUE(waitForCommon(QStringLiteral("Неверный пароль для ника Вася")));
        EXPECT_FALSE(online()) << "no spare nick after a wrong password";
    }
    // The wrong one is forgotten: the next log-in asks again, and the right one is kept for the run.
    PasswordTyper typer(QStringLiteral("верный пароль"));
    button("ToolButton1")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return online(); })) << commonText().toStdString();
    EXPECT_EQ(typer.asked, 1);
    EXPECT_EQ(typer.question, QStringLiteral("Пароль ника Вася на сервере %1:").arg(server()));
    EXPECT_TRUE(waitForCommon(QStringLiteral("К нам пришёл (пришла) Вася...")));
    EXPECT_FALSE(QString::fromUtf8(sandbox.settingsFileContent()).contains(QStringLiteral("пароль")));
    button("ToolButton1")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !online(); }));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(typer.asked, 1);
}

// Where the field starting with `prefix` came among `fields`, or -1.
std::ptrdiff_t positionOf(const std::vector<std::string>& fields, std::string_view prefix)
{
    const auto found =
        std::ranges::find_if(fields, [&](const std::string& field) { return field.starts_with(prefix); });
    return found == fields.end() ? -1 : found - fields.begin();
}

// A server from before accounts never answers "Auth": the log-in goes on without the password and says so.
// Over a plain connection the password is neither asked for nor sent.
TEST_F(MainFormTlsTest, AServerWithoutAccountsIsJoinedWithoutThePasswordThatNeverTravelsInTheClear)
{
    // The older server speaks TLS with the real server's certificate pair.
    const QDir folder(m_folder.path());
    QFile key(folder.filePath(QStringLiteral("kovrel-server.key")));
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(
        QSslCertificate::fromPath(folder.filePath(QStringLiteral("kovrel-server.crt"))).value(0));
    tls.setPrivateKey(QSslKey(&key, QSsl::Ec));
    ScriptedPeer older(tls);
    WriteTrustedFingerprint(QStringLiteral("127.0.0.1:%1").arg(older.port()), fingerprintOf(folder.path()));
    pointAtTls(older.port());
    WriteUsePassword(true);
    openWindow();

    PasswordTyper typer(QStringLiteral("пароль"));
    ASSERT_TRUE(logIn());
    EXPECT_EQ(typer.asked, 1);
    EXPECT_TRUE(waitForCommon(QStringLiteral("Сервер не знает зарегистрированных ников: вход без пароля")));
    const std::ptrdiff_t auth = positionOf(older.fields(), "Auth|");
    ASSERT_NE(auth, -1);
    EXPECT_LT(auth, positionOf(older.fields(), "ExistUser|")) << "the password goes ahead of the check";
    EXPECT_EQ(older.fields()[static_cast<std::size_t>(auth)], cp1251::fromUtf8("Auth|Вася|пароль"));
    button("ToolButton1")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !online(); }));

    ScriptedPeer plain;
    pointAt(plain.port());
    WriteUseTls(false);
    ASSERT_TRUE(logIn());
    EXPECT_EQ(positionOf(plain.fields(), "Auth|"), -1);
    EXPECT_EQ(typer.asked, 1);
}

} // namespace
} // namespace kovrel::test
