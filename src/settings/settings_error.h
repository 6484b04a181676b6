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

// The error an access raises should it fail. It is made only then: most accesses succeed, and the many
// reads of a running program should not each format a message that no one sees.
class SettingsFailure
{
public:
    using Factory = SettingsError (*)(const QString& subject);

    SettingsFailure(Factory factory, const QString& subject) : m_factory(factory), m_subject(subject) {}

    [[noreturn]] void raise() const { throw m_factory(m_subject); }

private:
    Factory m_factory;
    QString m_subject;
};

} // namespace kovrel
