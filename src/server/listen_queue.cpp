// SPDX-License-Identifier: GPL-3.0-or-later
#include "listen_queue.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/socket.h>

namespace kovrel::server {
namespace {

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> words;
    while (!line.empty()) {
        const std::size_t end = line.find(' ');
        if (end != 0) {
            words.push_back(line.substr(0, end));
        }
        line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
    }
    return words;
}

std::string readFile(std::string_view path)
{
    std::ifstream in{std::string(path)};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int listenBacklog(int requested)
{
    std::ifstream in("/proc/sys/net/core/somaxconn");
    int allowed = 0;
    if (!(in >> allowed) || allowed <= 0) {
        allowed = SOMAXCONN;
    }
    return requested > 0 ? std::min(requested, allowed) : allowed;
}

std::optional<std::uint64_t> tcpExtCounter(std::string_view netstat, std::string_view name)
{
    // Two lines per group: "TcpExt: Name Name ..." then "TcpExt: value value ...".
    constexpr std::string_view kGroup = "TcpExt:";
    const std::size_t names = netstat.find(kGroup);
    const std::size_t values = names == std::string_view::npos ? names : netstat.find(kGroup, names + 1);
    if (values == std::string_view::npos) {
        return std::nullopt;
    }
    const auto line = [&](std::size_t start) {
        return words(netstat.substr(start, netstat.find('\n', start) - start));
    };
    const std::vector<std::string_view> nameList = line(names);
    const std::vector<std::string_view> valueList = line(values);
    for (std::size_t i = 1; i < nameList.size() && i < valueList.size(); ++i) {
        std::uint64_t value = 0;
        const std::string_view text = valueList[i];
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (nameList[i] == name && ec == std::errc() && end == text.data() + text.size()) {
            return value;
        }
    }
    return std::nullopt;
}

ListenQueueWatch::ListenQueueWatch(asio::io_context& io, EventLog& log, int backlog,
                                   std::string_view netstatPath)
    : m_timer(io), m_log(log), m_backlog(backlog), m_netstatPath(netstatPath)
{}

void ListenQueueWatch::start()
{
    m_overflows = readOverflows();
    if (!m_overflows) {
        m_log.write("listen-overflow", {}, {},
                    "not watched: no ListenOverflows count in " + std::string(m_netstatPath));
        return;
    }
    schedule();
}

void ListenQueueWatch::schedule()
{
    m_timer.expires_after(kInterval);
    m_timer.async_wait([this](std::error_code ec) {
        if (!ec) {
            check();
            schedule();
        }
    });
}

std::optional<std::uint64_t> ListenQueueWatch::readOverflows() const
{
    return tcpExtCounter(readFile(m_netstatPath), "ListenOverflows");
}

void ListenQueueWatch::check()
{
    const std::optional<std::uint64_t> overflows = readOverflows();
    if (m_overflows && overflows && *overflows > *m_overflows) {
        m_log.write("listen-overflow", {}, {},
                    std::to_string(*overflows - *m_overflows) +
                        " connections dropped at a full listen queue on this host since the last look "
                        "(this server's queue holds " +
                        std::to_string(m_backlog) + "; net.core.somaxconn caps it)");
    }
    if (overflows) {
        m_overflows = overflows;
    }
}

} // namespace kovrel::server
