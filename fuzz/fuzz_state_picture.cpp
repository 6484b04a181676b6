// SPDX-License-Identifier: GPL-3.0-or-later
// The state picture loader: any file, named as a PNG, SVG, BMP or ICO picture, through Qt's image readers
// into a state picture, or refused with a reason that names the file; its preview is a picture of the size
// asked for or none. No file may crash the loader or take more memory than the loader's size limits allow.
//
// Input: a first byte choosing the file's suffix (its value modulo 4: png, svg, bmp, ico), then the file.

#include "harness_arguments.h"
#include "input_file.h"
#include "state_pictures.h"

#include <QFile>
#include <QGuiApplication>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_state_picture: %s\n", what);
        std::abort();
    }
}

constexpr std::array kSuffixes{"png", "svg", "bmp", "ico"};
constexpr int kPreviewSide = 48;

struct Environment
{
    kovrel::fuzz::HarnessArguments arguments{"fuzz_state_picture"};
    QGuiApplication application{arguments.argc, arguments.argv};
    kovrel::fuzz::InputFolder files;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Environment environment;
    if (size == 0) {
        return 0;
    }
    const QString name = QStringLiteral("picture.") + QLatin1String(kSuffixes[data[0] % kSuffixes.size()]);
    const QString path = environment.files.write(name, data + 1, size - 1);
    const kovrel::LoadedPicture loaded = kovrel::LoadStatePicture(path);
    check(loaded.picture.has_value() != loaded.error.startsWith(path + QStringLiteral(": ")),
          "a picture is neither loaded nor refused with its file named");
    const QImage preview = kovrel::StatePicturePreview(path, kPreviewSide);
    check(preview.isNull() || preview.size() == QSize(kPreviewSide, kPreviewSide),
          "the preview is not of the size asked for");
    QFile::remove(path);
    return 0;
}
