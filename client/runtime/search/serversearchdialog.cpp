#include "serversearchdialog.h"

#include "runtimeenv.h"
#include "ui_serversearchdialog.h"
#include "userprompts.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QRadialGradient>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace {
QPixmap lampPicture(bool lit) {
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(9, 9), 12);
    glow.setColorAt(0, lit ? QColor(255, 255, 190) : QColor(200, 200, 200));
    glow.setColorAt(1, lit ? QColor(230, 170, 0) : QColor(90, 90, 90));
    painter.setBrush(glow);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.drawEllipse(QRectF(2, 2, 20, 20));
    return picture;
}

// The user's prompts, with the window painted again after each one: a closed box would otherwise
// leave its picture on the window through the waits that follow. The box's own loop ran every
// event meanwhile; syncing with the window system lets the exposure of its place arrive too.
class RepaintingPrompts : public UserPrompts {
public:
    RepaintingPrompts(UserPrompts& inner, QWidget* window) : m_inner(inner), m_window(window) {}
    void message(const QString& text, const QString& title, Icon icon) override {
        m_inner.message(text, title, icon);
        settle();
    }
    bool question(const QString& text, const QString& title) override {
        const bool yes = m_inner.question(text, title);
        settle();
        return yes;
    }
    QString input(const QString& prompt, const QString& title) override {
        const QString text = m_inner.input(prompt, title);
        settle();
        return text;
    }

private:
    void settle() {
        QGuiApplication::sync();
        m_window->repaint();
    }

    UserPrompts& m_inner;
    QWidget* m_window;
};

// A small screen with a network cable, for Image1.
QPixmap searchPicture() {
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(50, 50, 50), 2));
    painter.setBrush(QColor(120, 170, 220));
    painter.drawRoundedRect(QRectF(6, 6, 36, 26), 3, 3);
    painter.drawLine(QPointF(24, 32), QPointF(24, 40));
    painter.drawLine(QPointF(10, 40), QPointF(38, 40));
    return picture;
}
} // namespace

ServerSearchDialog::ServerSearchDialog(QString serverHost, QString installFolder,
                                       UserPrompts& prompts, ServerSearch::Hooks hooks,
                                       QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Cerca>()), m_timer(new QTimer(this)),
      m_serverHost(std::move(serverHost)), m_installFolder(std::move(installFolder)),
      m_prompts(prompts), m_hooks(std::move(hooks)),
      m_repaintingPrompts(std::make_unique<RepaintingPrompts>(prompts, this)),
      m_now([] { return QDateTime::currentMSecsSinceEpoch(); }),
      // A short sleep keeps the wait from burning a core; no events are let through.
      m_idle([] { QThread::msleep(20); }) {
    m_ui->setupUi(this);
    m_ui->Imga_0->setPixmap(lampPicture(true));
    m_ui->Imga_1->setPixmap(lampPicture(false));
    m_ui->Image1->setPixmap(searchPicture());
    QPalette background = m_ui->Picture2->palette();
    background.setColor(QPalette::Window, QColor(230, 236, 244));
    m_ui->Picture2->setPalette(background);
    for (int i = 0; i < 4; ++i)
        setLamp(i, false);
    m_ui->Picture2->installEventFilter(this);

    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, &ServerSearchDialog::runSearch);
}

ServerSearchDialog::~ServerSearchDialog() = default;

QLabel* ServerSearchDialog::lamp(int index) const {
    QLabel* const lamps[4] = {m_ui->Img_0, m_ui->Img_1, m_ui->Img_2, m_ui->Img_3};
    return lamps[index];
}

void ServerSearchDialog::setLamp(int index, bool lit) {
    m_lit[index] = lit;
    lamp(index)->setPixmap(lit ? m_ui->Imga_0->pixmap() : m_ui->Imga_1->pixmap());
    lamp(index)->repaint();
}

bool ServerSearchDialog::lampLit(int index) const {
    return index >= 0 && index < 4 && m_lit[index];
}

bool ServerSearchDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->Picture2 && event->type() == QEvent::Paint && !m_ran &&
        !m_timer->isActive())
        m_timer->start();
    return QDialog::eventFilter(watched, event);
}

void ServerSearchDialog::pauseWithLamps(double seconds) {
    // Four decimals count, as the wait is given in seconds with a fixed point.
    const qint64 wait = std::llround(seconds * 10000.0) / 10;
    const qint64 start = m_now();
    qint64 step = start;
    int lit = 0;
    int previous = 0;
    for (qint64 now = start; now - start < wait; now = m_now()) {
        if (now / 1000 != step / 1000) {
            setLamp(previous, false);
            setLamp(lit, true);
            if (m_lampObserver)
                m_lampObserver(lit);
            previous = lit;
            lit = (lit + 1) % 4;
            step += 1000;
        }
        m_idle();
    }
}

void ServerSearchDialog::runSearch() {
    if (m_ran)
        return;
    m_ran = true;
    ServerSearch::Hooks hooks = m_hooks;
    if (!hooks.pause)
        hooks.pause = [this](double seconds) {
            pauseWithLamps(seconds / RuntimeEnv::get().timerScale);
        };
    hooks.afterPause = [this, outer = m_hooks.afterPause] {
        setLamp(3, false);
        if (outer)
            outer();
    };
    hooks.status = [this, outer = m_hooks.status](const QString& text) {
        m_ui->Label2->setText(text);
        repaint();
        if (outer)
            outer(text);
    };
    ServerSearch search(m_installFolder, QDir::currentPath(), *m_repaintingPrompts, hooks);
    m_serverHost = search.run(m_serverHost);
    accept();
}
