// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_error.h"

namespace kovrel {

using namespace Qt::Literals::StringLiterals;

SettingsError::SettingsError(const QString& message) : std::runtime_error(message.toStdString()) {}

SettingsError SettingsError::createKeyFailed(const QString& keyPath)
{
    return SettingsError(u"Failed to create key %1"_s.arg(keyPath));
}

SettingsError SettingsError::setDataFailed(const QString& name)
{
    return SettingsError(u"Failed to set data for '%1'"_s.arg(name));
}

SettingsError SettingsError::getDataFailed(const QString& name)
{
    return SettingsError(u"Failed to get data for '%1'"_s.arg(name));
}

SettingsError SettingsError::invalidDataType(const QString& name)
{
    return SettingsError(u"Invalid data type for '%1'"_s.arg(name));
}

SettingsError SettingsError::invalidValue(const QString& name, const QString& reason)
{
    return SettingsError(u"Invalid value for '%1': %2"_s.arg(name, reason));
}

SettingsError SettingsError::deleteKeyFailed(const QString& keyPath)
{
    return SettingsError(u"Failed to delete key %1"_s.arg(keyPath));
}

SettingsError SettingsError::deleteValueFailed(const QString& name)
{
    return SettingsError(u"Failed to delete value '%1'"_s.arg(name));
}

} // namespace kovrel
