#include "updaterwindow.h"

#include "clientrestart.h"
#include "clientupdater.h"
#include "platform/platform.h"
#include "processstart.h"
#include "runtimeenv.h"
#include "userprompts.h"

#include "ui_updaterwindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>
#include <QTimer>

namespace {
// A drawn picture of an arrow into a folder, for Image1.
QPixmap updatePicture() {
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.setBrush(QColor(240, 200, 90));
    painter.drawRect(QRectF(6, 22, 36, 20));
    painter.setBrush(QColor(40, 140, 60));
    painter.setPen(Qt::NoPen);
    painter.drawRect(QRectF(20, 4, 8, 14));
    painter.drawPolygon(QPolygonF({QPointF(14, 16), QPointF(34, 16), QPointF(24, 28)}));
    return picture;
}
} // namespace

UpdaterWindow::UpdaterWindow(UserPrompts& prompts, int intervalMs, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Form1>()), m_timer(new QTimer(this)),
      m_prompts(prompts) {
    m_ui->setupUi(this);
    m_ui->Image1->setPixmap(updatePicture());
    setWindowIcon(QIcon(updatePicture()));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, &UpdaterWindow::copyAndRestart);
}

UpdaterWindow::~UpdaterWindow() = default;

bool UpdaterWindow::load(const QStringList& arguments) {
    const ClientUpdater::Target target =
        ClientUpdater::locate(arguments, Platform::current().installFolders());
    if (target.failure) {
        m_prompts.message(target.failure.description);
        // A client that handed over to us must not be left ended: it goes on with what it has.
        const QString program = target.installFolder + ClientUpdater::Program;
        if (!target.installFolder.isEmpty() && QFileInfo(program).isFile())
            startProgram(program, {QStringLiteral("--after-update")});
        return false;
    }
    m_installFolder = target.installFolder;
    m_sharePath = target.sharePath;
    m_timer->start();
    return true;
}

void UpdaterWindow::closeEvent(QCloseEvent* event) {
    m_timer->stop();
    QWidget::closeEvent(event);
}

void UpdaterWindow::setLabel(const QString& text) {
    m_ui->Label1->setText(text);
    m_ui->Label1->repaint();
}

void UpdaterWindow::copyAndRestart() {
    m_timer->stop();
    setLabel(QStringLiteral("Attendere prego..."));
    // The share is mounted where the client has it.
    ClientUpdater updater(m_sharePath, RuntimeEnv::get().shareRoot, m_installFolder);
    updater.setRetry(ClientUpdater::Attempts,
                     RuntimeEnv::get().interval(ClientUpdater::RetryDelayMs));
    updater.copyAll([this](const QString& text) { setLabel(text); },
                    [this](const QString& source) {
                        m_prompts.message(QStringLiteral("Errore copia: ") + source);
                    });
    auto* restart = new ClientRestart(updater.programPath(), updater.previousProgramPath(),
                                      RuntimeEnv::get().interval(RestartWatchMs), this);
    connect(restart, &ClientRestart::finished, this, [this, restart](ClientRestart::Outcome o) {
        if (o == ClientRestart::Outcome::Restored)
            m_prompts.message(QStringLiteral("Il nuovo VelarixCL non funziona (") +
                              restart->detail() +
                              QStringLiteral("): è stata ripristinata la versione precedente."));
        else if (o == ClientRestart::Outcome::NoClient)
            m_prompts.message(QStringLiteral("Impossibile avviare VelarixCL: ") +
                              restart->detail());
        close();
    });
    restart->start();
}
