// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kovrel::fuzz {

// A temporary folder for the files a harness hands to the program, removed at the end of the run. A harness
// that cannot write them could test nothing: it stops.
class InputFolder
{
public:
    InputFolder() { ensure(m_folder.isValid(), "no temporary folder"); }

    QString path(const QString& name) const { return m_folder.filePath(name); }

    // Writes the input as the file `name`, replacing the last one, and returns its path.
    QString write(const QString& name, const std::uint8_t* data, std::size_t size) const
    {
        QFile file(path(name));
        const auto length = static_cast<qint64>(size);
        ensure(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(reinterpret_cast<const char*>(data), length) == length,
               "cannot write the input file");
        return file.fileName();
    }

private:
    static void ensure(bool holds, const char* what)
    {
        if (!holds) {
            std::fprintf(stderr, "%s\n", what);
            std::abort();
        }
    }

    QTemporaryDir m_folder;
};

} // namespace kovrel::fuzz
