#include "activitylist.h"

#include <QListWidget>

ActivityList::ActivityList(QListWidget* list) : QObject(list), m_list(list) {
    // Every line is one row of text: the view need not measure each one to place the next.
    m_list->setUniformItemSizes(true);
}

void ActivityList::clear() {
    m_list->clear();
}

void ActivityList::add(const QString& line) {
    m_list->addItem(line);
    while (m_list->count() > MaxLines)
        delete m_list->takeItem(0);
}

void ActivityList::redraw() {
    if (!m_list->isVisible())
        return;
    m_list->scrollToBottom();
    m_list->repaint();
}
