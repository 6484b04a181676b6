// SPDX-License-Identifier: GPL-3.0-or-later
// A burst of received lines into the real main window (offscreen): 10,000 public chat messages of about 60
// characters each, fed through a loopback socket, written onto a common page that already holds N lines,
// at the bottom and at the top of the page. The time runs from the first byte sent to the last line shown.

#include "chat_main_form.h"
#include "conversation_view.h"
#include "cp1251.h"
#include "packet.h"
#include "packet_reader.h"
#include "settings_layout.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QThread>
#include <QToolButton>

#include <memory>
#include <string>

namespace {

constexpr int kBurstLines = 10000;

// The server side, on a thread of its own so that the client's event loop handles only the client: it
// admits the log-in and sends what it is given.
class Feeder : public QObject
{
public:
    quint16 listen()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_socket = m_server.nextPendingConnection();
            connect(m_socket, &QTcpSocket::readyRead, this, [this] { answer(); });
        });
        return m_server.serverPort();
    }

    void send(const std::string& bytes) { m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())); }

private:
    void answer()
    {
        const QByteArray read = m_socket->readAll();
        m_reader.feed(std::string_view(read.constData(), static_cast<std::size_t>(read.size())));
        for (const std::string& field : m_reader.takeFields(SIZE_MAX)) {
            if (field.starts_with("ExistUser|")) {
                send(kovrel::BuildPacket({"ExistUser|-1"}));
            } else if (field.starts_with("AddUser|")) {
                send(kovrel::BuildPacket({field}));
            }
        }
    }

    QTcpServer m_server{this};
    QTcpSocket* m_socket = nullptr;
    kovrel::PacketReader m_reader;
};

// Chat messages as a real client sends them: each a style field and the line, ~60 characters of text.
std::string burstOfMessages(int lines, int first)
{
    std::string bytes;
    for (int line = first; line < first + lines; ++line) {
        kovrel::AppendFramedField(bytes, "TextStyle|AllUser|204|0|-13|0|0|0|0|DejaVu Sans");
        kovrel::AppendFramedField(bytes, kovrel::cp1251::fromUtf8("AllUser|Петя|сообщение номер " +
                                                                  std::to_string(line) +
                                                                  ", немного текста для длины строки"));
    }
    return bytes;
}

// A logged-in main window with its own settings, and the server that feeds it.
class Client
{
public:
    explicit Client(bool atBottom)
    {
        qputenv("KOVREL_SETTINGS", QFile::encodeName(m_settings.filePath(QStringLiteral("settings.reg"))));
        m_feederThread.start();
        m_feeder.moveToThread(&m_feederThread);
        quint16 port = 0;
        QMetaObject::invokeMethod(
            &m_feeder, [&] { port = m_feeder.listen(); }, Qt::BlockingQueuedConnection);
        kovrel::WriteHost(QString());
        kovrel::WriteAddress(QStringLiteral("127.0.0.1"));
        kovrel::WritePort(port);
        kovrel::WriteFirstTime(false);
        kovrel::WriteConfigFlag(kovrel::ConfigFlag::FromUpToDown, atBottom);
        m_window = std::make_unique<kovrel::TChatMainForm>();
        m_window->resize(800, 600);
        m_window->show();
        m_page = m_window->findChild<kovrel::ConversationView*>(QStringLiteral("Common"));
        m_window->findChild<QToolButton*>(QStringLiteral("ToolButton1"))->click();
        // Logged in once the server's announcement of our own arrival is shown.
        waitUntil([this] { return m_page->toPlainText().contains(QStringLiteral("К нам")); });
    }

    ~Client()
    {
        m_window.reset();
        QMetaObject::invokeMethod(
            &m_feeder, [this] { m_feeder.moveToThread(QCoreApplication::instance()->thread()); },
            Qt::BlockingQueuedConnection);
        m_feederThread.quit();
        m_feederThread.wait();
    }

    // The next burst of chat messages, ready to send.
    std::string nextBurst(int lines)
    {
        m_sent += lines;
        return burstOfMessages(lines, m_sent - lines);
    }

    // Sends a burst and returns once every line of it is on the page and the page is painted.
    void send(const std::string& burst, int lines)
    {
        const int expected = m_page->document()->blockCount() + lines;
        QMetaObject::invokeMethod(&m_feeder, [this, &burst] { m_feeder.send(burst); });
        waitUntil([&] { return m_page->document()->blockCount() >= expected && !m_page->hasPendingLines(); });
        m_page->repaint();
    }

private:
    template <typename Condition> static void waitUntil(Condition shown)
    {
        while (!shown()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    QTemporaryDir m_settings;
    QThread m_feederThread;
    Feeder m_feeder;
    std::unique_ptr<kovrel::TChatMainForm> m_window;
    kovrel::ConversationView* m_page = nullptr;
    int m_sent = 0;
};

void ReceivedBurst(benchmark::State& state)
{
    const bool atBottom = state.range(0) != 0;
    const int pageLines = static_cast<int>(state.range(1));
    Client client(atBottom);
    for (int filled = 0; filled < pageLines; filled += kBurstLines) {
        client.send(client.nextBurst(kBurstLines), kBurstLines);
    }
    for (auto _ : state) {
        const std::string burst = client.nextBurst(kBurstLines);
        QElapsedTimer elapsed;
        elapsed.start();
        client.send(burst, kBurstLines);
        state.SetIterationTime(static_cast<double>(elapsed.nsecsElapsed()) / 1e9);
    }
    state.SetLabel(atBottom ? "bottom" : "top");
    state.counters["lines/s"] =
        benchmark::Counter(kBurstLines, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(ReceivedBurst)
    ->ArgNames({"bottom", "page"})
    ->ArgsProduct({{1, 0}, {10000, 50000, 100000, 200000}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
