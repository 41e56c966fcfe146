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

// The search window: loading it arms the one-shot Timer1 (10 ms), whose tick runs the search
// (ServerSearch) and closes the window. Its own wait, Pausa, runs the lamps.
class Cerca : public QDialog {
    Q_OBJECT
public:
    Cerca(QString serverHost, QString installFolder, UserPrompts& prompts,
          ServerSearch::Hooks hooks, QWidget* parent = nullptr);
    ~Cerca() override;

    QString serverHost() const { return m_serverHost; }

    // Waits Tempo seconds (four decimals count) without letting other window events run; meanwhile
    // one lamp at a time lights up, the next one about once a second, each repainted at once.
    void Pausa(double Tempo);

    // Which of Img_0..Img_3 shows the lit picture (tests).
    bool lampLit(int index) const;
    // Told the index of the lamp just lit at each step of Pausa (tests).
    void setLampObserver(std::function<void(int)> observer) {
        m_lampObserver = std::move(observer);
    }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Timer1_Timer();
    QLabel* Img(int index) const;
    void setLamp(int index, bool lit);

    std::unique_ptr<Ui::Cerca> m_ui;
    QTimer* m_timer1;
    QString m_serverHost;
    QString m_installFolder;
    UserPrompts& m_prompts;
    ServerSearch::Hooks m_hooks;
    bool m_ran = false;
    bool m_lit[4] = {false, false, false, false};
    std::function<void(int)> m_lampObserver;
};
