// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QObject;

// The passwords of registered nicks, one for each nick on each server, kept in the desktop's secret store
// (GNOME Keyring, KWallet or any other Secret Service, through QtKeychain) and never in the settings file.
// A password stored or looked up in this run is also kept in memory until the program ends, so that
// without a secret store the user is asked once a run. The store answers later: lookUp() reports through
// its callback on the caller's thread, never before it returns.
namespace kovrel::passwords {

// The name a password is kept under: "nick@host:port", the server as the user gave it.
QString accountName(const QString& nick, const QString& server);

using Found = std::function<void(const std::optional<QString>& password)>;

// Nothing when there is no secret store, it refuses, or it holds no password for the account. `found` is
// not called once `context` is gone.
void lookUp(const QString& account, const QObject* context, Found found);
void store(const QString& account, const QString& password);
void forget(const QString& account);

} // namespace kovrel::passwords
