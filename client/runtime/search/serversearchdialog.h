#pragma once

#include "serversearch.h"

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <memory>

class QLabel;
class QTimer;
class UserPrompts;
namespace Ui {
class Cerca;
}

// The search window (object name Cerca): showing it arms the one-shot Timer1 (10 ms), whose tick
// runs the search (ServerSearch) and closes the window. Its own wait runs the lamps.
class ServerSearchDialog : public QDialog {
    Q_OBJECT
public:
    ServerSearchDialog(QString serverHost, QString installFolder, UserPrompts& prompts,
                       ServerSearch::Hooks hooks, QWidget* parent = nullptr);
    ~ServerSearchDialog() override;

    QString serverHost() const { return m_serverHost; }

    // Waits the given seconds (four decimals count) without letting other window events run;
    // meanwhile one lamp at a time lights up, the next one at each whole second of the clock, each
    // repainted at once.
    void pauseWithLamps(double seconds);

    // Which of Img_0..Img_3 shows the lit picture (tests).
    bool lampLit(int index) const;
    // Told the index of the lamp just lit at each step of the wait (tests).
    void setLampObserver(std::function<void(int)> observer) {
        m_lampObserver = std::move(observer);
    }
    // The wait's clock in milliseconds and what it does between two looks at it; tests move the
    // clock themselves. Default: the system clock and a 20 ms sleep.
    void setClock(std::function<qint64()> now, std::function<void()> idle) {
        m_now = std::move(now);
        m_idle = std::move(idle);
    }

protected:
    // The search starts once the window has been painted (its background picture, which covers
    // it): the waits of the search let no paint event through.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runSearch();
    QLabel* lamp(int index) const;
    void setLamp(int index, bool lit);

    std::unique_ptr<Ui::Cerca> m_ui;
    QTimer* m_timer;
    QString m_serverHost;
    QString m_installFolder;
    UserPrompts& m_prompts;
    ServerSearch::Hooks m_hooks;
    bool m_ran = false;
    std::unique_ptr<UserPrompts> m_repaintingPrompts;
    bool m_lit[4] = {false, false, false, false};
    std::function<void(int)> m_lampObserver;
    std::function<qint64()> m_now;
    std::function<void()> m_idle;
};
