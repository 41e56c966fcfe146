#pragma once

#include <QObject>

class QListWidget;

// The window's message list (Lst_DataSent) as the session fills it: one line at a time, the last
// MaxLines lines kept. A long document adds three lines per page; a list that kept them all, or
// laid every line out again for each new one, would make the import slower with every page.
class ActivityList : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxLines = 1000;

    explicit ActivityList(QListWidget* list);

    void clear();
    void add(const QString& line);
    // Shows the newest line; painted at once only while the window is on screen.
    void redraw();

private:
    QListWidget* m_list;
};
