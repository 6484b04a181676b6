#include "settings_io.h"

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kovrel {

std::optional<QByteArray> readFileIfExists(const QString& path, const SettingsError& failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return std::nullopt;
        throw failure;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw failure;
    return content;
}

void ensureFolderOf(const QString& path, const SettingsError& failure)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw failure;
}

void replaceFile(const QString& path, const QByteArray& content, const SettingsError& createFailure,
                 const SettingsError& writeFailure)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw createFailure;
    file.write(content);
    if (!file.commit())
        throw writeFailure;
}

ExclusiveFileLock::ExclusiveFileLock(const QString& lockPath, std::chrono::milliseconds timeout)
{
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK || errno == EINTR;
        if (!held || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_fd = fd;
}

ExclusiveFileLock::~ExclusiveFileLock()
{
    if (isLocked())
        ::close(m_fd); // closing the only descriptor releases the lock
}

} // namespace kovrel
