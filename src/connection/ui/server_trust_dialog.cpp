// SPDX-License-Identifier: GPL-3.0-or-later
#include "server_trust_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kovrel {

namespace {

constexpr int kIconSize = 32;
// A SHA-256 fingerprint is 32 bytes; shown as two rows of 16 they are easy to compare by eye.
constexpr qsizetype kBytesPerRow = 16;
constexpr qsizetype kCharactersPerByte = 3; // "AB:"

QString firstUseText(const QString& server)
{
    return QStringLiteral("Сервер %1 предъявил сертификат, который не заверен известным центром "
                          "сертификации. Так бывает, когда сервер сам создал себе сертификат.\n\n"
                          "Сверьте отпечаток с тем, что сообщил администратор сервера. Если они совпадают, "
                          "доверьтесь серверу: его сертификат будет запомнен, и вопрос больше не появится.")
        .arg(server);
}

QString keyChangedText(const QString& server)
{
    return QStringLiteral("ВНИМАНИЕ! Сервер %1 предъявил не тот сертификат, которому вы доверяли. Возможно, "
                          "кто-то перехватывает соединение (атака «человек посередине»). Соединение не "
                          "установлено.\n\n"
                          "Принимайте новый ключ, только если администратор сервера подтвердил, что сменил "
                          "его, и новый отпечаток совпадает с тем, что он сообщил.")
        .arg(server);
}

QString inTwoRows(const QString& fingerprint)
{
    const qsizetype half = kBytesPerRow * kCharactersPerByte;
    return fingerprint.size() > half ? fingerprint.left(half - 1) + u'\n' + fingerprint.mid(half)
                                     : fingerprint;
}

} // namespace

TServerTrustDialog::TServerTrustDialog(const QString& server, const QString& presented,
                                       const QString& trusted, QWidget* parent)
    : QDialog(parent)
{
    const bool keyChanged = !trusted.isEmpty();
    setWindowTitle(keyChanged ? QStringLiteral("Ключ сервера изменился")
                              : QStringLiteral("Сертификат сервера"));

    auto* icon = new QLabel(this);
    icon->setPixmap(
        style()
            ->standardIcon(keyChanged ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxQuestion)
            .pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(keyChanged ? keyChangedText(server) : firstUseText(server), this);
    text->setObjectName(QStringLiteral("Explanation"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);

    auto* fingerprints = new QFormLayout;
    if (keyChanged) {
        addFingerprint(fingerprints, QStringLiteral("Прежний отпечаток SHA-256:"), trusted);
        addFingerprint(fingerprints, QStringLiteral("Новый отпечаток SHA-256:"), presented);
    } else {
        addFingerprint(fingerprints, QStringLiteral("Отпечаток SHA-256:"), presented);
    }

    auto* buttons = new QDialogButtonBox(this);
    TrustButton =
        buttons->addButton(keyChanged ? QStringLiteral("&Принять новый ключ") : QStringLiteral("&Доверять"),
                           QDialogButtonBox::AcceptRole);
    TrustButton->setObjectName(QStringLiteral("TrustButton"));
    RefuseButton = buttons->addButton(QStringLiteral("&Отказ"), QDialogButtonBox::RejectRole);
    RefuseButton->setObjectName(QStringLiteral("RefuseButton"));
    RefuseButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* body = new QVBoxLayout;
    body->addWidget(text);
    body->addLayout(fingerprints);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(body, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(top);
    layout->addWidget(buttons);
    RefuseButton->setFocus();
}

void TServerTrustDialog::addFingerprint(QFormLayout* form, const QString& caption, const QString& fingerprint)
{
    auto* value = new QLabel(inTwoRows(fingerprint), this);
    value->setTextFormat(Qt::PlainText);
    value->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A screen reader reads the whole fingerprint, not its two rows.
    value->setAccessibleName(caption + u' ' + fingerprint);
    form->addRow(caption, value);
}

} // namespace kovrel
