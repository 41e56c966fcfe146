// The window's message list keeps the newest lines only, however long the document.
#include "activitylist.h"

#include <QListWidget>
#include <QtTest>

class ActivityListTest : public QObject {
    Q_OBJECT
private slots:
    void keepsTheNewestLines() {
        QListWidget widget;
        ActivityList list(&widget);
        for (int i = 1; i <= ActivityList::MaxLines + 500; ++i)
            list.add(QStringLiteral("riga %1").arg(i));
        QCOMPARE(widget.count(), ActivityList::MaxLines);
        QCOMPARE(widget.item(0)->text(), QStringLiteral("riga 501"));
        QCOMPARE(widget.item(widget.count() - 1)->text(),
                 QStringLiteral("riga %1").arg(ActivityList::MaxLines + 500));
        list.clear();
        QCOMPARE(widget.count(), 0);
    }
};

QTEST_MAIN(ActivityListTest)
#include "tst_activitylist.moc"
