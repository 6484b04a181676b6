// SPDX-License-Identifier: GPL-3.0-or-later
#include "float_windows.h"

#include "chat_client.h"
#include "float_form.h"
#include "settings_layout.h"
#include "state_pictures.h"

#include <QAbstractItemView>

namespace kovrel {

namespace {

const QString kClassName = QStringLiteral("TFloatForm");
// The strip is this much wider than the roster.
constexpr int kExtraWidth = 14;

} // namespace

FloatWindows::FloatWindows(ChatClient& client, const StateImageList& pictures, QAbstractItemView& roster)
    : QObject(&roster), m_client(client), m_pictures(pictures), m_roster(roster)
{
    RosterModel& model = client.roster();
    connect(&model, &RosterModel::entryAdded, this, &FloatWindows::onEntryAdded);
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { onRowsRemoved(first, last); });
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this, &model] { onRowsRemoved(0, model.size() - 1); });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                onEntriesChanged(first.row(), last.row());
            });
    connect(&pictures, &StateImageList::changed, this, &FloatWindows::refreshPictures);
}

FloatWindows::~FloatWindows() = default;

void FloatWindows::Float1Click(int row)
{
    const QString nick = m_client.roster().at(row).nick;
    std::unique_ptr<TFloatForm>& window = m_windows[keyOf(nick)];
    if (!window) {
        window = std::make_unique<TFloatForm>(m_pictures);
        connectWindow(*window);
    }
    const QModelIndex index = m_roster.model()->index(row, 0);
    window->move(m_roster.viewport()->mapToGlobal(m_roster.visualRect(index).topLeft()));
    window->setFont(m_roster.font());
    QPalette colors = window->palette();
    colors.setColor(QPalette::Window, m_roster.palette().color(QPalette::Base));
    colors.setColor(QPalette::WindowText, m_roster.palette().color(QPalette::Text));
    window->setPalette(colors);
    window->resize(m_roster.width() + kExtraWidth, std::max(window->height(), window->sizeHint().height()));
    window->SetNick(nick);
    showEntry(*window, row);
    window->show();
}

void FloatWindows::connectWindow(TFloatForm& window)
{
    const auto rowOf = [this, &window] { return m_client.roster().findIgnoringCase(window.Nick()); };
    connect(&window, &TFloatForm::ignoreChanged, this, [this, rowOf](bool ignored) {
        if (const std::optional<int> row = rowOf()) {
            m_client.roster().setIgnored(*row, ignored);
        }
    });
    connect(&window, &TFloatForm::menuRequested, this, [this, rowOf](const QPoint& at) {
        if (const std::optional<int> row = rowOf()) {
            emit menuRequested(*row, at);
        }
    });
    connect(&window, &TFloatForm::conversationRequested, this, [this, rowOf] {
        if (const std::optional<int> row = rowOf()) {
            emit conversationRequested(*row);
        }
    });
}

// The entry's picture and ignore mark; its last unseen line as the window's tooltip.
void FloatWindows::showEntry(TFloatForm& window, int row)
{
    const RosterEntry& entry = m_client.roster().at(row);
    window.SetPicturePosition(m_client.roster().pictureIndex(row));
    window.setIgnored(entry.ignored);
    if (!entry.lastUnseenLine.isEmpty()) {
        window.setToolTip(entry.lastUnseenLine);
    }
}

void FloatWindows::closeAll()
{
    while (!m_windows.empty()) {
        destroyWindow(m_windows.begin()->first);
    }
}

TFloatForm* FloatWindows::windowOf(const QString& nick) const
{
    const auto found = m_windows.find(keyOf(nick));
    return found == m_windows.end() ? nullptr : found->second.get();
}

// A (re)arriving user starts with a new window, open again when it was open as its last one went.
void FloatWindows::onEntryAdded(int row)
{
    const QString nick = m_client.roster().at(row).nick;
    destroyWindow(nick);
    if (!ReadFloatClosed(nick)) {
        Float1Click(row);
    }
}

void FloatWindows::onRowsRemoved(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        destroyWindow(m_client.roster().at(row).nick);
    }
}

void FloatWindows::onEntriesChanged(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (TFloatForm* window = windowOf(m_client.roster().at(row).nick)) {
            showEntry(*window, row);
        }
    }
}

void FloatWindows::refreshPictures()
{
    for (const auto& [key, window] : m_windows) {
        window->SetPicturePosition(window->PicturePosition());
    }
}

// The window stores where it was and whether the user had closed it, then goes.
void FloatWindows::destroyWindow(const QString& nick)
{
    const auto found = m_windows.find(keyOf(nick));
    if (found == m_windows.end()) {
        return;
    }
    const std::unique_ptr<TFloatForm> window = std::move(found->second);
    m_windows.erase(found);
    m_client.reportingErrors(kClassName, [&] { window->storePlacement(); });
}

} // namespace kovrel
