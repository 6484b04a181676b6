// SPDX-License-Identifier: GPL-3.0-or-later
#include "private_bus.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace kovrel::test {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kStartTimeoutMs = 10000;

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
}

} // namespace

QString uniqueConnectionName()
{
    static int count = 0;
    return u"kovrel-test-%1"_s.arg(++count);
}

PrivateBus::PrivateBus(const QStringList& failingServices)
{
    writeConfiguration(failingServices);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(u"dbus-daemon"_s, {u"--config-file="_s + m_folder.filePath(u"bus.conf"_s),
                                      u"--print-address"_s, u"--nofork"_s});
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : m_connectionNames)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    m_daemon.waitForFinished(kStartTimeoutMs);
}

QDBusConnection PrivateBus::connect()
{
    m_connectionNames.append(uniqueConnectionName());
    return QDBusConnection::connectToBus(m_address, m_connectionNames.back());
}

void PrivateBus::writeConfiguration(const QStringList& failingServices) const
{
    const QString services = m_folder.filePath(u"services"_s);
    QDir().mkpath(services);
    for (const QString& service : failingServices)
        writeFile(services + u'/' + service + u".service"_s,
                  u"[D-BUS Service]\nName=%1\nExec=/bin/false\n"_s.arg(service));
    writeFile(m_folder.filePath(u"bus.conf"_s), uR"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <servicedir>%2</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)"_s.arg(m_folder.path(), services));
}

} // namespace kovrel::test
