// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace kovrel::test {

// A D-Bus session bus of the test's own, a real dbus-daemon on a socket in a temporary folder. It knows
// none of the machine's services, so that nothing installed here can answer in the test's place.
class PrivateBus
{
public:
    // `failingServices`: names the bus starts on demand, with a program that exits at once.
    explicit PrivateBus(const QStringList& failingServices = {});
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon did not start.
    const QString& address() const { return m_address; }
    // A new connection of its own, closed with the bus.
    QDBusConnection connect();

private:
    void writeConfiguration(const QStringList& failingServices) const;

    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connectionNames;
};

// A name for a new connection, unique in this process.
QString uniqueConnectionName();

} // namespace kovrel::test
