#include "letterheadwindow.h"

#include "adminhost.h"
#include "letterheadcontroller.h"
#include "letterheadstore.h"
#include "ui_letterheadwindow.h"
#include "userprompts.h"

#include <QApplication>
#include <QFontDatabase>

LetterheadWindow::LetterheadWindow(AdminHost& host, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Ditta>()),
      m_controller(std::make_unique<LetterheadController>(host)), m_prompts(host.prompts()) {
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_lineBoxes = {m_ui->Text1_0, m_ui->Text1_1, m_ui->Text1_2, m_ui->Text1_3,
                   m_ui->Text1_4, m_ui->Text1_5, m_ui->Text1_6, m_ui->Text1_7};

    // Courier New where it exists, otherwise the system's fixed-pitch font of the same size.
    QFont fixed = m_ui->Text1_0->font();
    fixed.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(fixed).fixedPitch()) {
        const int size = fixed.pointSize();
        fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSize(size);
    }
    const int width = QFontMetrics(fixed).horizontalAdvance(
        QString(LetterheadStore::LineLength + 2, QLatin1Char('M')));
    for (int i = 0; i < m_lineBoxes.size(); ++i) {
        QLineEdit* box = m_lineBoxes.at(i);
        box->setFont(fixed);
        box->setMinimumWidth(width);
        box->installEventFilter(this);
        // A full line takes no more characters: say so, rather than ignore the keys.
        connect(box, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() >= LetterheadStore::LineLength)
                m_ui->Lbl_Limite->setText(
                    QStringLiteral("La riga %1 \u00e8 piena: ogni riga tiene al massimo %2 "
                                   "caratteri.")
                        .arg(i + 1)
                        .arg(LetterheadStore::LineLength));
            else
                m_ui->Lbl_Limite->clear();
        });
    }

    // The panel's OK answers Enter while the code is typed; then the next-line OK does.
    m_ui->Command2->setDefault(true);
    for (QPushButton* button : {m_ui->Command1, m_ui->Cmd_Esci, m_ui->Cmd_Salva, m_ui->Command3})
        button->setAutoDefault(false);

    connect(m_ui->Command2, &QPushButton::clicked, this, &LetterheadWindow::onCodeOk);
    connect(m_ui->Command3, &QPushButton::clicked, this, &LetterheadWindow::discard);
    connect(m_ui->Command1, &QPushButton::clicked, this, &LetterheadWindow::onNextLine);
    connect(m_ui->Cmd_Esci, &QPushButton::clicked, this, &LetterheadWindow::discard);
    connect(m_ui->Cmd_Salva, &QPushButton::clicked, this, &LetterheadWindow::onSave);

    m_ui->Frame1->setGeometry(rect());
    m_ui->Frame1->raise();
    m_ui->Text2->setFocus();
    m_controller->open();
}

LetterheadWindow::~LetterheadWindow() = default;

QLineEdit* LetterheadWindow::lineBox(int index) const {
    return m_lineBoxes.value(index);
}

void LetterheadWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_ui->Frame1->setGeometry(rect());
}

void LetterheadWindow::onCodeOk() {
    QStringList lines = this->lines();
    if (!m_controller->chooseCode(m_ui->Text2->text(), &lines))
        return;
    for (int i = 0; i < m_lineBoxes.size(); ++i)
        m_lineBoxes.at(i)->setText(lines.value(i));
    m_shownLines = lines;
    m_currentLine = 0;
    m_ui->Frame1->hide();
    m_ui->Command2->setDefault(false);
    m_ui->Command1->setDefault(true);
    m_lineBoxes.first()->setFocus();
}

void LetterheadWindow::onNextLine() {
    const int next = m_currentLine >= int(m_lineBoxes.size()) - 1 ? 0 : m_currentLine + 1;
    m_currentLine = next;
    m_lineBoxes.at(next)->setFocus();
}

void LetterheadWindow::onSave() {
    if (!m_ui->Frame1->isHidden())
        return; // no code chosen yet
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const LetterheadController::SaveResult result = m_controller->save(lines());
    QApplication::restoreOverrideCursor();
    if (m_controller->finishSave(result))
        accept();
}

QStringList LetterheadWindow::lines() const {
    QStringList texts;
    for (const QLineEdit* box : m_lineBoxes)
        texts.append(box->text());
    return texts;
}

void LetterheadWindow::discard() {
    m_controller->cancel();
    QDialog::reject();
}

void LetterheadWindow::reject() {
    // The close box and Escape are easy to reach by mistake: edited lines are not dropped unasked.
    if (m_ui->Frame1->isHidden() && lines() != m_shownLines &&
        !m_prompts.question(QStringLiteral("Le righe modificate non sono state salvate. Uscire "
                                           "senza salvarle?")))
        return;
    discard();
}

bool LetterheadWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        const int index = m_lineBoxes.indexOf(static_cast<QLineEdit*>(watched));
        if (index >= 0)
            m_currentLine = index;
    }
    return QDialog::eventFilter(watched, event);
}
