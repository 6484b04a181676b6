// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_document.h"

#include "../../support/qt_printers.h"
#include "rtf_test_support.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

namespace kovrel::rtf {
namespace {

using namespace test;

QStringList textLinesOf(const Document& document)
{
    QStringList lines;
    for (const Line& line : document.lines) {
        QString text;
        for (const Run& run : line.runs) {
            text += run.text;
        }
        lines.append(text);
    }
    return lines;
}

// LibreOffice's text export: UTF-8 with a byte order mark, every line ended by LF.
QStringList textLinesOf(const QByteArray& utf8)
{
    QString text = QString::fromUtf8(utf8);
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text.split(u'\n');
}

TEST(RtfInterop, LibreOfficeReadsTheLinesWeWrite)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        GTEST_SKIP()
            << "soffice is not installed (Debian package libreoffice-writer-nogui), so LibreOffice's "
               "reading of our files is not checked";
    }
    const Attributes tahoma = font("Tahoma", 204, 20);
    const Document page{{
        Line{{run("(12:00:01) ", tahoma), run("Петя", bold(tahoma)), run(": привет {}\\ \\par", tahoma)}},
        Line{},
        // A page's own lines are in the default character set, which LibreOffice reads in its own locale.
        Line{{run("Соединяемся...", font("DejaVu Sans", 1, 18))}},
        Line{{run("日本 € 😀", italic(colored(font("Arial", 0, 28), 0xC00000))),
              run("\tтаб", struckOut(tahoma))}},
    }};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile rtf(dir.filePath(QStringLiteral("page.rtf")));
    const std::string bytes = WriteRtf(page);
    ASSERT_TRUE(rtf.open(QIODevice::WriteOnly));
    ASSERT_EQ(rtf.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
    rtf.close();

    QProcess convert;
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    convert.start(soffice, {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                            QStringLiteral("--convert-to"), QStringLiteral("txt:Text"),
                            QStringLiteral("--outdir"), dir.path(), rtf.fileName()});
    ASSERT_TRUE(convert.waitForFinished(180'000)) << "soffice did not finish";
    QFile text(dir.filePath(QStringLiteral("page.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly)) << convert.readAllStandardError().toStdString();
    EXPECT_EQ(textLinesOf(text.readAll()), textLinesOf(page));
}

// Made by LibreOffice Writer 7.4 from libreoffice-sample.fodt: text in \uN with "?" as fallback, every
// run in a group of its own, a style sheet, document information and a page description table.
TEST(RtfInterop, ReadsASampleWrittenByLibreOffice)
{
    const Attributes dejaVu = font("DejaVu Sans", 0, 22);
    const Document expected{{
        Line{{run("Привет, мир! Это ", dejaVu), run("жирное", bold(dejaVu)), run(" слово.", dejaVu)}},
        Line{{run("А это ", dejaVu), run("курсив", italic(dejaVu)), run(" и ", dejaVu),
              run("красное", colored(dejaVu, 0xC00000)), run(" слово.", dejaVu)}},
    }};
    EXPECT_EQ(ReadDocument(readDataFile("libreoffice-sample.rtf")), expected);
}

// As WordPad writes: \'hh in Windows-1251 for Cyrillic fonts and in Windows-1252 for a font of character
// set 0, formatting switched on and off without groups, lines ended by \par and CR LF.
TEST(RtfInterop, ReadsASampleInWordPadsStyle)
{
    const Attributes calibri = font("Calibri", 204, 22);
    const Document expected{{
        Line{{run("Привет, ", calibri), run("мир", bold(calibri)), run("!", calibri)}},
        Line{{run("Курсив", italic(calibri)), run(" и ", calibri), run("красный", colored(calibri, 0xFF0000)),
              run(" текст.", calibri)}},
        Line{{run("Подчеркнуто", underlined(calibri)), run(" ", calibri),
              run("зачеркнуто", struckOut(calibri))}},
        Line{{run("Café 5€\t", font("Calibri", 0, 22)), run("и крупно", font("Times New Roman", 204, 28))}},
        Line{{run("Синий – ☃ и «кавычки»", colored(calibri, 0x004DBB))}},
        Line{},
    }};
    EXPECT_EQ(ReadDocument(readDataFile("wordpad-sample.rtf")), expected);
}

} // namespace
} // namespace kovrel::rtf
