#include "copieswindow.h"

#include "copiescontroller.h"
#include "copiesfile.h"
#include "ui_copieswindow.h"

#include <QMouseEvent>
#include <QRegularExpressionValidator>

CopiesWindow::CopiesWindow(AdminHost& host, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Copie>()),
      m_controller(std::make_unique<CopiesController>(host)) {
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_copyBoxes = {m_ui->Text1_0, m_ui->Text1_1, m_ui->Text1_2,
                   m_ui->Text1_3, m_ui->Text1_4, m_ui->Text1_5};
    // A letter would be stored as 0 copies: the boxes take digits only.
    auto* digit =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]")), this);
    for (QLineEdit* box : m_copyBoxes)
        box->setValidator(digit);
    // The switch captions are separate labels: clicking one toggles its switch.
    m_ui->Label11->installEventFilter(this);
    m_ui->Label3->installEventFilter(this);
    connect(m_ui->Cmd_Salva, &QPushButton::clicked, this, &CopiesWindow::onSave);
    connect(m_ui->Cmd_Esci, &QPushButton::clicked, this, &CopiesWindow::reject);
    showSettings(m_controller->open());
}

CopiesWindow::~CopiesWindow() = default;

QLineEdit* CopiesWindow::copyBox(int index) const {
    return m_copyBoxes.value(index);
}

void CopiesWindow::showSettings(const CopiesSettings& settings) {
    m_ui->Text2->setText(settings.printFolder);
    for (int i = 0; i < m_copyBoxes.size(); ++i)
        m_copyBoxes.at(i)->setText(settings.copies.value(i, QStringLiteral("1")));
    m_ui->Check1->setChecked(settings.perCompany);
    m_ui->Check2->setChecked(settings.perBranch);
}

CopiesSettings CopiesWindow::settings() const {
    CopiesSettings settings;
    settings.printFolder = m_ui->Text2->text();
    for (int i = 0; i < m_copyBoxes.size(); ++i)
        settings.copies[i] = m_copyBoxes.at(i)->text();
    settings.perCompany = m_ui->Check1->isChecked();
    settings.perBranch = m_ui->Check2->isChecked();
    return settings;
}

void CopiesWindow::onSave() {
    if (m_controller->save(settings()))
        accept();
}

void CopiesWindow::reject() {
    if (m_controller->cancel())
        QDialog::reject();
}

bool CopiesWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == m_ui->Label11)
            m_ui->Check1->toggle();
        else if (watched == m_ui->Label3)
            m_ui->Check2->toggle();
    }
    return QDialog::eventFilter(watched, event);
}
