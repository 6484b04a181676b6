// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_document.h"

#include "code_pages.h"
#include "document_builder.h"
#include "rtf_tokenizer.h"

#include <QStringDecoder>

#include <optional>

namespace kovrel::rtf {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The bytes from "{\rtf" on, when the file is RTF.
std::optional<std::string_view> rtfBody(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    }
    const std::size_t start = bytes.find_first_not_of(" \t\r\n\f\v");
    if (start == std::string_view::npos || !bytes.substr(start).starts_with("{\\rtf")) {
        return std::nullopt;
    }
    return bytes.substr(start);
}

Document readRtf(std::string_view rtf)
{
    Tokenizer tokenizer(rtf);
    DocumentBuilder builder;
    for (Token token = tokenizer.next(); token.kind != Token::Kind::End && !builder.finished();
         token = tokenizer.next()) {
        builder.take(token);
    }
    return builder.takeDocument();
}

// UTF-8 when the bytes are valid UTF-8 (a byte order mark is dropped), else Windows-1251.
QString decodePlainText(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    text.clear();
    appendDecoded(text, bytes, CodePage::Windows1251);
    return text;
}

Line plainLine(QStringView text)
{
    Line line;
    if (!text.isEmpty()) {
        line.runs.push_back(Run{text.toString(), Attributes{}});
    }
    return line;
}

// Lines end at LF, CR LF or CR; a break at the very end starts no further line.
Document readPlainText(std::string_view bytes)
{
    const QString text = decodePlainText(bytes);
    Document document;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') {
            ++end;
        }
        document.lines.push_back(plainLine(QStringView(text).sliced(start, end - start)));
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n') {
            ++end;
        }
        start = end + 1;
    }
    return document;
}

} // namespace

Document ReadDocument(std::string_view bytes)
{
    const std::optional<std::string_view> rtf = rtfBody(bytes);
    return rtf ? readRtf(*rtf) : readPlainText(bytes);
}

} // namespace kovrel::rtf
