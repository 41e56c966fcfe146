#include "trayicon.h"

#include "userprompts.h"

#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <algorithm>

namespace {
const QString MsgNoIcon = QStringLiteral(
    "Impossibile procedere prima di impostare un'icona da visualizzare (proprietà Icon).");
const QString MsgNoOwner = QStringLiteral(
    "Impossibile visualizzare l'icona prima di impostare un controllo (proprietà OwnerControl).");
const QString MsgOwnerWhileShown =
    QStringLiteral("Impossibile cambiare il controllo quando l'icona è gia attiva.");

constexpr int FlagsAdded = 7;
constexpr int FlagsWithBalloon = 23;

// What the desktop shows of a field: up to its terminator, without the padding.
QString shownText(const QString& field) {
    const qsizetype nul = field.indexOf(QChar(0));
    return (nul >= 0 ? field.left(nul) : field).trimmed();
}

QSystemTrayIcon::MessageIcon messageIcon(int balloonIcon) {
    switch (balloonIcon) {
    case 1:
        return QSystemTrayIcon::Information;
    case 2:
        return QSystemTrayIcon::Warning;
    case 3:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}
} // namespace

TrayIcon::TrayIcon(UserPrompts* prompts, QObject* parent)
    : QObject(parent), m_prompts(prompts), m_tooltip(QString(QChar(0))),
      m_balloonTitle(QString(QChar(0))), m_balloonText(QString(QChar(0))) {}

TrayIcon::~TrayIcon() {
    remove();
}

QString TrayIcon::fixedField(const QString& text, int maxText, int fieldLength) {
    const QString cut = text.left(maxText);
    if (cut.isEmpty())
        return QString(QChar(0));
    QString field = cut + QChar(0);
    if (field.size() < fieldLength)
        field += QString(fieldLength - field.size(), QLatin1Char(' '));
    return field.left(fieldLength);
}

void TrayIcon::setOwnerControl(QWidget* owner) {
    if (m_shown) {
        if (m_prompts)
            m_prompts->message(MsgOwnerWhileShown, QString(), UserPrompts::Icon::Exclamation);
        return;
    }
    m_owner = owner;
    m_ownerSet = owner != nullptr;
}

void TrayIcon::setToolTipText(const QString& text) {
    const QString cut = text.left(TooltipField);
    // Stored as blank, text, blank and terminator: a long text loses its end and its terminator.
    m_tooltip = cut.isEmpty() ? QString(QChar(0))
                              : fixedField(QLatin1Char(' ') + cut + QLatin1Char(' '),
                                           TooltipField + 2, TooltipField);
    update();
}

QString TrayIcon::toolTipText() const {
    return m_tooltip;
}

void TrayIcon::setIcon(const QIcon& icon) {
    m_icon = icon;
    m_iconSet = !icon.isNull();
    update();
}

bool TrayIcon::remove() {
    if (m_shown) {
        if (m_tray)
            m_tray->hide();
        m_shown = false;
    }
    return true;
}

bool TrayIcon::desktopHasTray() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::add() {
    if (!m_iconSet) {
        if (m_prompts)
            m_prompts->message(MsgNoIcon, QString(), UserPrompts::Icon::Exclamation);
        return false;
    }
    if (!m_ownerSet || !m_owner) {
        if (m_prompts)
            m_prompts->message(MsgNoOwner, QString(), UserPrompts::Icon::Exclamation);
        return false;
    }
    // A second add() while shown simply refreshes the icon: it stays counted as shown, so a later
    // Remove still takes it away.
    m_flags = FlagsAdded;
    if (m_shown) {
        update();
        return true;
    }
    if (!desktopHasTray())
        return false;

    if (!m_tray) {
        m_tray = new QSystemTrayIcon(this);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    // Only the double-click brings the window back; clicks and menus do nothing.
                    if (reason == QSystemTrayIcon::DoubleClick)
                        emit doubleClicked();
                });
    }
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(shownText(m_tooltip));
    m_tray->show();
    m_shown = m_tray->isVisible();
    return m_shown;
}

void TrayIcon::showBalloon() {
    m_flags = FlagsWithBalloon;
    update();
}

QString TrayIcon::balloonTitle() const {
    return m_balloonTitle;
}

void TrayIcon::setBalloonTitle(const QString& text) {
    m_balloonTitle = fixedField(text, BalloonTitleField, BalloonTitleField);
    update();
}

void TrayIcon::setBalloonIcon(int icon) {
    m_balloonIcon = icon;
    update();
}

QString TrayIcon::balloonToolTip() const {
    return m_balloonText;
}

void TrayIcon::setBalloonToolTip(const QString& text) {
    m_balloonText = fixedField(text, BalloonTextField - 1, BalloonTextField);
    update();
}

void TrayIcon::notify(const QString& title, const QString& text, int icon) {
    if (!m_shown || !m_tray)
        return;
    if (icon == 0)
        icon = m_balloonIcon != 0 ? m_balloonIcon : 1;
    m_tray->showMessage(title, text, messageIcon(icon));
}

void TrayIcon::update() {
    // Changes reach the desktop only while the icon is shown; otherwise at the next add().
    if (!m_shown || !m_tray)
        return;
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(shownText(m_tooltip));
    if (m_flags == FlagsWithBalloon)
        m_tray->showMessage(shownText(m_balloonTitle), shownText(m_balloonText),
                            messageIcon(m_balloonIcon));
}

namespace {
void bringBack(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void hideToTray(TrayIcon*& tray, QWidget* window, QWidget* owner, const QString& tooltip,
                UserPrompts* prompts) {
    if (!window)
        return;
    if (!tray) {
        tray = new TrayIcon(prompts, window);
        // A tray made here restores its window on double-click by itself.
        TrayIcon* made = tray;
        QObject::connect(made, &TrayIcon::doubleClicked, window, [made, window] {
            made->remove();
            bringBack(window);
        });
    }
    tray->setIcon(window->windowIcon());
    // The owner cannot change while the icon is shown (it would only raise a message box); an
    // icon shown already has it.
    if (!tray->isShown())
        tray->setOwnerControl(owner ? owner : window);
    tray->setToolTipText(tooltip);
    tray->setBalloonTitle(QStringLiteral("Messaggio"));
    tray->setBalloonToolTip(QStringLiteral("Questo è il contenuto del messaggio"));
    tray->setBalloonIcon(3);
    if (tray->add()) {
        window->hide();
        // Minimised earlier while no notification area existed, it must not come back minimised.
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    } else
        window->showMinimized(); // no notification area: the task bar keeps the window reachable
}

QIcon warningIcon(const QIcon& base) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        // An icon without an image this large gives a smaller one: the mark must stay on it.
        QPixmap pixmap = base.pixmap(size, size)
                             .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (pixmap.isNull()) {
            pixmap = QPixmap(size, size);
            pixmap.fill(Qt::transparent);
        }
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF mark(size * 0.45, size * 0.45, size * 0.55, size * 0.55);
        p.setPen(QPen(Qt::white, std::max(1.0, size / 16.0)));
        p.setBrush(QColor(210, 30, 30));
        p.drawEllipse(mark);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(std::max(6, int(mark.height() * 0.8)));
        p.setFont(font);
        p.drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void restoreFromTray(TrayIcon*& tray, QWidget* window, UserPrompts* prompts) {
    if (!tray)
        tray = new TrayIcon(prompts, window);
    tray->remove();
    bringBack(window);
}
