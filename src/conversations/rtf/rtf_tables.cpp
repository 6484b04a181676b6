// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_tables.h"

#include <algorithm>

namespace kovrel::rtf {

void FontTable::beginEntry(int number)
{
    m_fonts[number] = Font{};
    m_entry = number;
}

void FontTable::setCharset(int charset)
{
    if (m_entry) {
        m_fonts[*m_entry].charset = charset;
    }
}

void FontTable::appendToFace(QStringView text)
{
    if (!m_entry) {
        return;
    }
    QString& face = m_fonts[*m_entry].face;
    face.append(text.first(std::min(text.size(), kMaxFaceLength - face.size())));
}

void FontTable::endEntry()
{
    if (m_entry) {
        QString& face = m_fonts[*m_entry].face;
        face = face.trimmed();
        m_entry.reset();
    }
}

int FontTable::entryCharset() const
{
    const Font* font = m_entry ? find(*m_entry) : nullptr;
    return font ? font->charset : kDefaultCharset;
}

const Font* FontTable::find(int number) const
{
    const auto found = m_fonts.find(number);
    return found == m_fonts.end() ? nullptr : &found->second;
}

void ColorTable::endEntry()
{
    m_colors.push_back(m_entry);
    m_entry = 0;
}

quint32 ColorTable::color(int index) const
{
    const auto position = static_cast<std::size_t>(index);
    return index >= 0 && position < m_colors.size() ? m_colors[position] : 0;
}

void ColorTable::setComponent(int shift, int value)
{
    const auto component = static_cast<quint32>(std::clamp(value, 0, 255));
    m_entry = (m_entry & ~(0xFFu << shift)) | (component << shift);
}

} // namespace kovrel::rtf
