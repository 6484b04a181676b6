// SPDX-License-Identifier: GPL-3.0-or-later
#include "artwork.h"

#include <QCoreApplication>
#include <QHash>
#include <QString>

namespace kovrel::artwork {
namespace {

QHash<QString, QIcon>& loadedIcons()
{
    static QHash<QString, QIcon> icons;
    return icons;
}

// Each picture is read once: the user list asks for one with every entry, and copies of an icon share
// the pixmaps it has drawn. They go with the application, while their engines' plugin is still there.
QIcon resourceIcon(const QString& fileName)
{
    QHash<QString, QIcon>& icons = loadedIcons();
    if (const auto found = icons.constFind(fileName); found != icons.cend())
        return *found;
    if (icons.isEmpty())
        qAddPostRoutine([] { loadedIcons().clear(); });
    return *icons.insert(fileName, QIcon(QStringLiteral(":/kovrel/artwork/") + fileName));
}

QIcon indexedIcon(const char* stem, int index, int count)
{
    if (index < 0 || index >= count)
        return {};
    return resourceIcon(QStringLiteral("%1-%2.svg").arg(QLatin1String(stem)).arg(index));
}

} // namespace

QIcon statePicture(int index)
{
    return indexedIcon("state", index, kStatePictureCount);
}

QIcon toolbarImage(int index)
{
    return indexedIcon("toolbar", index, kToolbarImageCount);
}

QIcon trayIcon(int phase)
{
    switch (phase) {
    case 0:
        return applicationIcon();
    case 1:
        return resourceIcon(QStringLiteral("tray-alert.svg"));
    default:
        return {};
    }
}

QIcon applicationIcon()
{
    return resourceIcon(QStringLiteral("application.svg"));
}

QIcon lockPicture()
{
    return resourceIcon(QStringLiteral("lock.svg"));
}

QIcon aboutPicture(int index)
{
    return indexedIcon("about", index, kAboutPictureCount);
}

} // namespace kovrel::artwork
