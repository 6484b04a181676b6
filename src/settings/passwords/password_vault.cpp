// SPDX-License-Identifier: GPL-3.0-or-later
#include "password_vault.h"

#include <QHash>
#include <QPointer>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace kovrel::passwords {

namespace {

const QString kService = QStringLiteral("Kovrel");

QHash<QString, QString>& remembered()
{
    static QHash<QString, QString> passwords;
    return passwords;
}

// Every job deletes itself when it has finished, and none ever writes a password anywhere but the store.
template <typename Job> Job* startJob(const QString& account)
{
    auto* job = new Job(kService);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(account);
    return job;
}

} // namespace

QString accountName(const QString& nick, const QString& server)
{
    return nick + u'@' + server;
}

void lookUp(const QString& account, const QObject* context, Found found)
{
    if (const auto known = remembered().constFind(account); known != remembered().cend()) {
        QTimer::singleShot(0, context, [found = std::move(found), password = *known] { found(password); });
        return;
    }
    auto* job = startJob<QKeychain::ReadPasswordJob>(account);
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [account, found = std::move(found)](QKeychain::Job* finished) {
                         if (finished->error() != QKeychain::NoError) {
                             found(std::nullopt);
                             return;
                         }
                         const QString password =
                             static_cast<QKeychain::ReadPasswordJob*>(finished)->textData();
                         remembered().insert(account, password);
                         found(password);
                     });
    job->start();
}

void store(const QString& account, const QString& password)
{
    remembered().insert(account, password);
    auto* job = startJob<QKeychain::WritePasswordJob>(account);
    job->setTextData(password);
    job->start();
}

void forget(const QString& account)
{
    remembered().remove(account);
    startJob<QKeychain::DeletePasswordJob>(account)->start();
}

} // namespace kovrel::passwords
