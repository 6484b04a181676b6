// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <thread>

#include <asio/connect.hpp>
#include <asio/write.hpp>
#include <poll.h>

#include "packet.h"
#include "tcp_segments.h"

namespace kovrel::server::test {

TestClient::TestClient(unsigned short port, int receiveBuffer, asio::ip::address_v4 from) : m_socket(m_io)
{
    m_socket.open(asio::ip::tcp::v4());
    m_socket.bind({from, 0});
    if (receiveBuffer > 0) {
        m_socket.set_option(asio::socket_base::receive_buffer_size(receiveBuffer));
    }
    m_socket.connect({asio::ip::address_v4::loopback(), port});
    m_socket.set_option(asio::ip::tcp::no_delay(true));
}

TestClient::TestClient(unsigned short port, Tls, int receiveBuffer, asio::ip::address_v4 from)
    : TestClient(port, receiveBuffer, from)
{
    m_tlsContext.emplace(asio::ssl::context::tls_client);
    m_tls.emplace(m_socket, *m_tlsContext);
    m_tls->handshake(asio::ssl::stream_base::client);
}

void TestClient::send(std::initializer_list<std::string_view> fields)
{
    sendRaw(BuildPacket(fields));
}

void TestClient::sendRaw(std::string_view bytes)
{
    std::error_code ec;
    if (m_tls) {
        asio::write(*m_tls, asio::buffer(bytes), ec);
    } else {
        asio::write(m_socket, asio::buffer(bytes), ec);
    }
}

std::string TestClient::expect(std::string_view prefix)
{
    const std::vector<std::string> fields = readUntil(prefix);
    return fields.empty() || !fields.back().starts_with(prefix) ? std::string() : fields.back();
}

std::vector<std::string> TestClient::readUntil(std::string_view prefix)
{
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    std::vector<std::string> fields;
    std::string field;
    while (nextField(field, deadline)) {
        fields.push_back(field);
        if (field.starts_with(prefix)) {
            return fields;
        }
    }
    ADD_FAILURE() << "no \"" << prefix << "\" before "
                  << (m_closed ? "the connection closed" : "the deadline");
    return fields;
}

std::vector<std::string> TestClient::readUntilClosed()
{
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    std::vector<std::string> fields;
    std::string field;
    while (nextField(field, deadline)) {
        fields.push_back(field);
    }
    EXPECT_TRUE(m_closed) << "still open at the deadline";
    return fields;
}

void TestClient::pump(std::chrono::milliseconds duration)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    while (readSome(until)) {
    }
}

std::vector<std::string> TestClient::login(std::string_view nick, std::string_view card)
{
    const std::string nickText(nick);
    send({"ExistUser|127.0.0.1"});
    EXPECT_EQ(expect("ExistUser|"), "ExistUser|-1");
    send({"ExistUser|" + nickText});
    EXPECT_EQ(expect("ExistUser|"), "ExistUser|-1");
    send({"GetUser|" + nickText});
    send({"AddUser|" + nickText});
    std::vector<std::string> roster = readUntil("AddUser|" + nickText);
    EXPECT_FALSE(roster.empty()) << nick;
    if (!card.empty()) {
        send({"SetInfo|" + nickText + "|" + std::string(card)});
    }
    return roster;
}

void TestClient::logout(std::string_view nick)
{
    send({"DelUser|" + std::string(nick)});
    EXPECT_EQ(expect("DelUser|"), "DelUser|" + std::string(nick));
}

unsigned TestClient::dataSegmentsReceived()
{
    return test::dataSegmentsReceived(m_socket.native_handle());
}

void TestClient::close()
{
    std::error_code ignored;
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    m_socket.close(ignored);
    m_closed = true;
}

bool TestClient::nextField(std::string& field, std::chrono::steady_clock::time_point deadline)
{
    while (m_fields.empty()) {
        if (!readSome(deadline)) {
            return false;
        }
    }
    field = std::move(m_fields.front());
    m_fields.pop_front();
    return true;
}

bool TestClient::readSome(std::chrono::steady_clock::time_point deadline)
{
    if (m_closed || std::chrono::steady_clock::now() >= deadline) {
        return false;
    }
    // Whatever has arrived is read first: TLS may hold bytes already taken from the socket.
    std::array<char, 64 * 1024> buffer;
    std::error_code ec;
    std::size_t length = readArrived(asio::buffer(buffer), ec);
    while (ec == asio::error::would_block) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{m_socket.native_handle(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        length = readArrived(asio::buffer(buffer), ec);
    }
    if (ec) {
        m_closed = true;
        m_ending = ec;
        return false;
    }
    EXPECT_FALSE(m_reader.feed({buffer.data(), length}).outOfStep);
    for (std::string& field : m_reader.takeFields(m_reader.queuedFields())) {
        if (m_answerProbes && field.starts_with("TestConnection|")) {
            send({field});
        }
        m_fields.push_back(std::move(field));
    }
    return true;
}

std::size_t TestClient::readArrived(asio::mutable_buffer buffer, std::error_code& ec)
{
    m_socket.non_blocking(true);
    const std::size_t length = m_tls ? m_tls->read_some(buffer, ec) : m_socket.read_some(buffer, ec);
    m_socket.non_blocking(false);
    return length;
}

bool contains(const std::vector<std::string>& fields, const std::string& field)
{
    return std::find(fields.begin(), fields.end(), field) != fields.end();
}

std::vector<std::string> chatLine(TestClient& client, std::string_view command)
{
    const std::vector<std::string> fields = client.readUntil(std::string(command) + "|");
    return fields.size() < 2 ? fields : std::vector<std::string>(fields.end() - 2, fields.end());
}

std::string firstAnswerTo(TestClient& client, std::string_view nick)
{
    const std::string ownAddUser = "AddUser|" + std::string(nick);
    for (;;) {
        const std::string field = client.expect("");
        if (field.empty() || field == "Disconnect|" || field == ownAddUser) {
            return field;
        }
    }
}

std::string tryLogin(TestClient& client, std::string_view nick)
{
    client.send({"AddUser|" + std::string(nick)});
    return firstAnswerTo(client, nick);
}

bool eventuallyAnswers(TestClient& asker, const std::string& question, const std::string& expected)
{
    const std::string command = question.substr(0, question.find('|') + 1);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        asker.send({question});
        if (asker.expect(command) == expected) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool knownTo(TestClient& asker, std::string_view nick)
{
    return eventuallyAnswers(asker, "ExistUser|" + std::string(nick), "ExistUser|1");
}

} // namespace kovrel::server::test
