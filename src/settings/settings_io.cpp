// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_io.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace kovrel {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

timespec timespecOf(std::int64_t ns)
{
    std::int64_t seconds = ns / kNanosecondsPerSecond;
    std::int64_t rest = ns % kNanosecondsPerSecond;
    if (rest < 0) {
        --seconds;
        rest += kNanosecondsPerSecond;
    }
    return {static_cast<time_t>(seconds), static_cast<long>(rest)};
}

FileIdentity identityOf(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size), nanoseconds(status.st_mtim),
            nanoseconds(status.st_ctim)};
}

// A new file beside `target` under a name no one else uses, created with the usual permissions (the
// umask applies); removed again unless it was renamed.
class TemporaryFile
{
public:
    explicit TemporaryFile(const QByteArray& target)
    {
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_name = target + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
            m_fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_fd >= 0 && !m_renamed)
            ::unlink(m_name.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }

    bool writeAll(const QByteArray& content) const
    {
        for (qsizetype done = 0; done < content.size();) {
            const ssize_t written = ::write(m_fd, content.constData() + done, content.size() - done);
            if (written > 0)
                done += written;
            else if (written == 0 || errno != EINTR)
                return false;
        }
        return true;
    }

    bool renameTo(const QByteArray& target)
    {
        m_renamed = ::rename(m_name.constData(), target.constData()) == 0;
        return m_renamed;
    }

private:
    QByteArray m_name;
    int m_fd = -1;
    bool m_renamed = false;
};

// The file a write replaces: `path`, or where it leads when it is a symbolic link, which stays in place.
QByteArray finalTarget(const QString& path)
{
    QFileInfo file(path);
    for (int depth = 0; depth < 128 && file.isSymLink(); ++depth)
        file.setFile(file.symLinkTarget());
    return QFile::encodeName(file.isSymLink() ? path : file.filePath());
}

} // namespace

std::optional<FileIdentity> fileIdentity(const QString& path, const SettingsFailure& failure)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return identityOf(status);
    if (errno == ENOENT || errno == ENOTDIR)
        return std::nullopt;
    failure.raise();
}

std::optional<QByteArray> readFileIfExists(const QString& path, const SettingsFailure& failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return std::nullopt;
        failure.raise();
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        failure.raise();
    return content;
}

void ensureFolderOf(const QString& path, const SettingsFailure& failure)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        failure.raise();
}

std::optional<FileIdentity> replaceFile(const QString& path, const QByteArray& content,
                                        const SettingsFailure& createFailure,
                                        const SettingsFailure& writeFailure)
{
    const QByteArray target = finalTarget(path);
    struct stat replaced;
    const bool replacing = ::stat(target.constData(), &replaced) == 0;
    TemporaryFile file(target);
    if (file.fd() < 0 || (replacing && ::fchmod(file.fd(), replaced.st_mode & 07777) != 0))
        createFailure.raise();
    if (!file.writeAll(content))
        writeFailure.raise();

    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::int64_t modified = nanoseconds(now);
    if (replacing)
        modified = std::max(modified, nanoseconds(replaced.st_mtim) + 1);
    const timespec times[2] = {{0, UTIME_OMIT}, timespecOf(modified)};
    // Without it (a file system that refuses) the write still counts; only its identity is less certain.
    ::futimens(file.fd(), times);

    struct stat written;
    if (::fstat(file.fd(), &written) != 0 || ::fsync(file.fd()) != 0 || !file.renameTo(target))
        writeFailure.raise();
    // The rename changes only the ctime. Another size or time means someone changed the file already.
    struct stat inPlace;
    if (::fstat(file.fd(), &inPlace) != 0 || inPlace.st_size != written.st_size ||
        nanoseconds(inPlace.st_mtim) != nanoseconds(written.st_mtim))
        return std::nullopt;
    return identityOf(inPlace);
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
