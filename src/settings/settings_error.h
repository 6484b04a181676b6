// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

#include <QString>

namespace kovrel {

// Raised by every settings access that fails; the message names the key or the value concerned.
class SettingsError : public std::runtime_error
{
public:
    // The folder or the file of the settings cannot be created.
    static SettingsError createKeyFailed(const QString& keyPath);
    static SettingsError setDataFailed(const QString& name);
    // The file exists but cannot be read.
    static SettingsError getDataFailed(const QString& name);
    // The value exists but is not text.
    static SettingsError invalidDataType(const QString& name);
    // The value is text of the right form but cannot stand for this setting; `reason` says why.
    static SettingsError invalidValue(const QString& name, const QString& reason);
    static SettingsError deleteKeyFailed(const QString& keyPath);
    static SettingsError deleteValueFailed(const QString& name);

    QString message() const { return QString::fromUtf8(what()); }

private:
    explicit SettingsError(const QString& message);
};

} // namespace kovrel
