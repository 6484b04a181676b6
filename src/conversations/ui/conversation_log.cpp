// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversation_log.h"

#include "text_format.h"

#include <QFile>
#include <QFontInfo>
#include <QHash>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <cmath>
#include <stdexcept>

namespace kovrel {

namespace {

constexpr double kPointsPerInch = 72.0;

std::runtime_error fileError(const QFileDevice& file)
{
    return std::runtime_error(
        QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()).toStdString());
}

int halfPointsOf(const QFont& font, double dotsPerInch)
{
    const double points =
        font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * kPointsPerInch / dotsPerInch;
    return std::max(1, static_cast<int>(std::lround(points * 2)));
}

// The face a font is drawn with, under its real name: a generic name such as "Sans Serif" means nothing to
// the programs that open the log.
QString drawnFace(const QFont& font)
{
    static QHash<QString, QString> drawn;
    const QString key = font.key();
    auto known = drawn.constFind(key);
    if (known == drawn.cend()) {
        known = drawn.insert(key, QFontInfo(font).family());
    }
    return *known;
}

rtf::Attributes attributesOf(const QTextCharFormat& format, double dotsPerInch)
{
    const QFont font = format.font();
    const QColor color = format.foreground().color();
    rtf::Attributes attributes;
    attributes.face = drawnFace(font);
    attributes.charset =
        format.hasProperty(kCharsetProperty) ? format.intProperty(kCharsetProperty) : kDefaultCharset;
    attributes.rgb = static_cast<quint32>(color.rgb() & 0xffffff);
    attributes.halfPoints = halfPointsOf(font, dotsPerInch);
    attributes.bold = font.bold();
    attributes.italic = font.italic();
    attributes.underline = font.underline();
    attributes.strikeout = font.strikeOut();
    return attributes;
}

QTextCharFormat formatOf(const rtf::Attributes& attributes, const QTextCharFormat& page)
{
    QTextCharFormat format = page;
    QFont font = page.font();
    if (!attributes.face.isEmpty()) {
        font.setFamilies({attributes.face});
    }
    font.setPointSizeF(attributes.halfPoints / 2.0);
    font.setBold(attributes.bold);
    font.setItalic(attributes.italic);
    font.setUnderline(attributes.underline);
    font.setStrikeOut(attributes.strikeout);
    format.setFont(font);
    format.setForeground(QColor::fromRgb(attributes.rgb));
    format.setProperty(kCharsetProperty, attributes.charset);
    return format;
}

} // namespace

rtf::Document LogOfPage(const QTextDocument& page, double dotsPerInch)
{
    rtf::Document log;
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
        rtf::Line& line = log.lines.emplace_back();
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment piece = fragment.fragment();
            // A line break inside a line is kept as one.
            QString text = piece.text().replace(QChar::LineSeparator, QLatin1Char('\n'));
            line.runs.push_back({std::move(text), attributesOf(piece.charFormat(), dotsPerInch)});
        }
    }
    // An empty page is no line at all, not one empty line.
    if (log.lines.size() == 1 && log.lines.front().runs.empty()) {
        log.lines.clear();
    }
    return log;
}

void ShowLog(const rtf::Document& log, QTextEdit* page)
{
    // The page is rewritten: not the user selecting text.
    const QSignalBlocker quiet(page);
    const QTextCharFormat pageFormat = DefaultCharFormat(page->font(), page->palette());
    page->clear();
    QTextCursor cursor(page->document());
    cursor.beginEditBlock();
    // Logs use few attribute sets over many runs: each is made into a format once.
    std::optional<rtf::Attributes> lastAttributes;
    QTextCharFormat lastFormat;
    bool first = true;
    for (const rtf::Line& line : log.lines) {
        if (!std::exchange(first, false)) {
            cursor.insertBlock(QTextBlockFormat(), pageFormat);
        }
        for (const rtf::Run& run : line.runs) {
            if (run.attributes != lastAttributes) {
                lastAttributes = run.attributes;
                lastFormat = formatOf(run.attributes, pageFormat);
            }
            cursor.insertText(QString(run.text).replace(QLatin1Char('\n'), QChar::LineSeparator), lastFormat);
        }
    }
    cursor.endEditBlock();
}

void SaveLog(const QTextDocument& page, const QString& path)
{
    constexpr double kScreenDotsPerInch = 96.0;
    const std::string bytes = rtf::WriteRtf(LogOfPage(page, kScreenDotsPerInch));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw fileError(file);
    }
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        throw std::runtime_error("Failed to Save Stream");
    }
}

void LoadLog(const QString& path, QTextEdit* page)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw fileError(file);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw std::runtime_error("Failed to Load Stream");
    }
    ShowLog(rtf::ReadDocument(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))),
            page);
}

} // namespace kovrel
