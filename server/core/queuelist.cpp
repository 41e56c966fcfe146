#include "queuelist.h"

#include "printserver.h"
#include "queuetexts.h"
#include "runtimeenv.h"
#include "userprompts.h"

#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {
enum Column { Document, State, Workstation, Waited, Reason };
constexpr int StateRole = Qt::UserRole + 1;
constexpr int AgeRole = Qt::UserRole + 2; // the waiting time when the list was filled

QueueEntry entryOf(const QTreeWidgetItem* item) {
    QueueEntry entry;
    if (!item)
        return entry;
    entry.fileName = item->text(Document);
    entry.workstation = item->text(Workstation);
    entry.state = JobState(item->data(Document, StateRole).toInt());
    return entry;
}
} // namespace

QueueList::QueueList(PrintServer& server, UserPrompts& prompts, QTreeWidget* list,
                     QPushButton* retry, QPushButton* discard, QObject* parent)
    : QObject(parent), m_server(server), m_prompts(prompts), m_list(list), m_retry(retry),
      m_discard(discard), m_ageTimer(new QTimer(this)) {
    // A reason is read whole: it wraps in its column (rows as tall as they need) and is the
    // row's tooltip too.
    m_list->setWordWrap(true);
    m_list->setUniformRowHeights(false);
    m_list->setTextElideMode(Qt::ElideNone);
    connect(&m_server, &PrintServer::queueChanged, this, &QueueList::refresh);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &QueueList::updateButtons);
    connect(m_retry, &QPushButton::clicked, this, &QueueList::putBackSelected);
    connect(m_discard, &QPushButton::clicked, this, &QueueList::discardSelected);
    // The waiting times move on without any change of state: only the rows in view are
    // rewritten, so that a year of set-aside files costs nothing while nobody scrolls.
    m_ageTimer->setInterval(RuntimeEnv::get().interval(5000));
    connect(m_ageTimer, &QTimer::timeout, this, [this] {
        if (m_list->isVisible())
            updateAgesInView();
    });
    m_ageTimer->start();
    refresh();
}

void QueueList::refresh() {
    const QString selected = selectedFile();
    m_filled.start();
    m_list->clear();
    for (const QueueEntry& entry : m_server.queue()) {
        if (!QueueTexts::isListed(entry))
            continue;
        auto* item = new QTreeWidgetItem(m_list, {entry.fileName, QueueTexts::state(entry),
                                                  entry.workstation,
                                                  QueueTexts::waited(entry.ageMs), entry.reason});
        item->setData(Document, StateRole, int(entry.state));
        item->setData(Document, AgeRole, entry.ageMs);
        for (int c = Document; c <= Reason; ++c)
            item->setToolTip(c, entry.reason);
        if (entry.fileName == selected)
            item->setSelected(true);
    }
    // Names and states whole; the reason takes the rest of the width.
    for (int c = Document; c < Reason; ++c)
        m_list->resizeColumnToContents(c);
    updateButtons();
}

void QueueList::updateAgesInView() {
    const int bottom = m_list->viewport()->height();
    for (QTreeWidgetItem* item = m_list->itemAt(0, 0);
         item && m_list->visualItemRect(item).top() < bottom; item = m_list->itemBelow(item))
        item->setText(Waited, QueueTexts::waited(item->data(Document, AgeRole).toLongLong() +
                                                 m_filled.elapsed()));
}

QString QueueList::selectedFile() const {
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? QString() : items.constFirst()->text(Document);
}

void QueueList::updateButtons() {
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    const QueueEntry entry = entryOf(items.isEmpty() ? nullptr : items.constFirst());
    m_retry->setEnabled(!items.isEmpty() && QueueTexts::canPutBack(entry));
    m_discard->setEnabled(!items.isEmpty() && QueueTexts::canDiscard(entry));
}

void QueueList::putBackSelected() {
    const QString name = selectedFile();
    if (name.isEmpty())
        return;
    if (const Failure f = m_server.putBack(name))
        m_prompts.message(QStringLiteral("Impossibile rimettere in coda ") + name +
                              QStringLiteral(": ") + f.description,
                          QString(), UserPrompts::Icon::Exclamation);
    refresh();
}

void QueueList::discardSelected() {
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    if (items.isEmpty())
        return;
    const QueueEntry entry = entryOf(items.constFirst());
    if (!m_prompts.question(QueueTexts::discardQuestion(entry), QString()))
        return;
    if (const Failure f = m_server.discard(entry.fileName))
        m_prompts.message(QStringLiteral("Impossibile eliminare ") + entry.fileName +
                              QStringLiteral(": ") + f.description,
                          QString(), UserPrompts::Icon::Exclamation);
    refresh();
}
