#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QSystemTrayIcon;
class UserPrompts;

// The notification-area icon of a main window. Properties go into the record in both states and
// reach the desktop only while the icon is shown. Where the desktop has no notification area,
// add() fails and the caller minimises its window instead of hiding it (hideToTray below), so the
// window never becomes unreachable.
//
// add() shows the message box about the missing Icon or OwnerControl through the UserPrompts given
// and returns false; it also returns false where the desktop has no notification area. Calling
// add() while shown keeps the icon counted as shown (a later remove() still takes it away).
class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int TooltipField = 128;
    static constexpr int BalloonTitleField = 64;
    static constexpr int BalloonTextField = 256;

    explicit TrayIcon(UserPrompts* prompts, QObject* parent = nullptr);
    ~TrayIcon() override;

    void setOwnerControl(QWidget* owner); // refused while shown
    QWidget* ownerControl() const { return m_owner; }
    void setToolTipText(const QString& text);
    QString toolTipText() const; // the field as stored (blank, text, blank, NUL, cut to 128)
    void setIcon(const QIcon& icon);
    QIcon icon() const { return m_icon; }
    bool remove();
    bool add();
    void showBalloon();
    QString balloonTitle() const;
    void setBalloonTitle(const QString& text);
    int balloonIcon() const { return m_balloonIcon; }
    void setBalloonIcon(int icon);
    QString balloonToolTip() const;
    void setBalloonToolTip(const QString& text);

    bool isShown() const { return m_shown; }
    // Shows a balloon with the given title and text right away; icon as setBalloonIcon (1
    // information for good news), 0 for the balloon icon set.
    void notify(const QString& title, const QString& text, int icon = 0);

    // Fills a fixed-length field: cut, text + NUL, padded with blanks, cut to the field length.
    static QString fixedField(const QString& text, int maxText, int fieldLength);

protected:
    // Whether the desktop offers a notification area (tests stand in for one).
    virtual bool desktopHasTray() const;

signals:
    // A left double-click on the icon; the owner window restores itself.
    void doubleClicked();

private:
    void update();

    UserPrompts* m_prompts;
    QPointer<QWidget> m_owner;
    QIcon m_icon;
    QString m_tooltip;
    QString m_balloonTitle;
    QString m_balloonText;
    int m_balloonIcon = 0;
    int m_flags = 7;
    bool m_shown = false;
    bool m_ownerSet = false;
    bool m_iconSet = false;
    QSystemTrayIcon* m_tray = nullptr;
};

// The hiding sequence both main windows use: set icon, owner, tooltip, balloon texts and icon 3,
// add(), then hide the window; where no notification area exists the window is minimised instead.
// When it creates the tray itself, a double-click on the icon restores the window.
void hideToTray(TrayIcon*& tray, QWidget* window, QWidget* owner, const QString& tooltip,
                UserPrompts* prompts);
// The icon with a red warning mark in its lower right corner, for a program that cannot do its
// work (printing stopped, server not reachable): seen in the notification area and task bar.
QIcon warningIcon(const QIcon& base);
// Restores a window from the tray: Remove the icon and show the window.
void restoreFromTray(TrayIcon*& tray, QWidget* window, UserPrompts* prompts);
