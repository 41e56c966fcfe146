#include "updatecheckdialog.h"

#include "ui_updatecheckdialog.h"

#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace {
// A small drawn picture of two arrows turning, for Image1.
QPixmap waitPicture() {
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(30, 90, 170), 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(8, 8, 32, 32), 30 * 16, 150 * 16);
    painter.drawArc(QRectF(8, 8, 32, 32), 210 * 16, 150 * 16);
    painter.setBrush(QColor(30, 90, 170));
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(QPolygonF({QPointF(4, 20), QPointF(14, 20), QPointF(9, 28)}));
    painter.drawPolygon(QPolygonF({QPointF(34, 28), QPointF(44, 28), QPointF(39, 20)}));
    return picture;
}
} // namespace

UpdateCheckDialog::UpdateCheckDialog(UpdateCheck check, bool collectAll, int intervalMs,
                                     QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Controllo>()), m_timer(new QTimer(this)),
      m_check(std::move(check)), m_collectAll(collectAll) {
    m_ui->setupUi(this);
    m_ui->Image1->setPixmap(waitPicture());
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, &UpdateCheckDialog::runCheck);
}

UpdateCheckDialog::~UpdateCheckDialog() = default;

QString UpdateCheckDialog::labelText() const {
    return m_ui->Label1->text();
}

void UpdateCheckDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_ran && !m_timer->isActive())
        m_timer->start();
}

void UpdateCheckDialog::runCheck() {
    if (m_ran)
        return;
    m_ran = true;
    m_outcome = m_check.run(m_collectAll);
    if (m_outcome.status == UpdateCheck::Status::UpdateDue) {
        m_ui->Label1->setText(QStringLiteral("Aggiornamento rilevato...."));
        m_ui->Label1->repaint();
    }
    accept();
}
