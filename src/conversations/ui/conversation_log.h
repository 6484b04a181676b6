// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rtf_document.h"

#include <QString>

class QTextDocument;
class QTextEdit;

namespace kovrel {

// Conversation logs: the text of a page with every line's character attributes (face, character set,
// colour, size, style), saved as a Rich Text Format file and loaded back onto a page. Failures throw
// std::runtime_error: the file's own error when it cannot be opened or created, "Failed to Save Stream"
// or "Failed to Load Stream" when writing or reading it fails.
void SaveLog(const QTextDocument& page, const QString& path);
void LoadLog(const QString& path, QTextEdit* page);

// The page as a log document, and a log document shown on a page in place of its text. Sizes in pixels
// are converted at `dotsPerInch`.
rtf::Document LogOfPage(const QTextDocument& page, double dotsPerInch);
void ShowLog(const rtf::Document& log, QTextEdit* page);

} // namespace kovrel
