#include "ui/WelcomePanel.h"

#include "shell/UserTexts.h"

#include <QLabel>
#include <QPushButton>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
QPushButton* choice(const char* key, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(ids(key), parent);
    b->setObjectName(QLatin1String(name));
    b->setCursor(Qt::PointingHandCursor);
    b->setMinimumHeight(34);
    return b;
}
} // namespace

WelcomePanel::WelcomePanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("welcomePanel"));
    auto* title = new QLabel(ids("IDS_WELCOME_TITLE"), this);
    title->setObjectName(QStringLiteral("lbWelcomeTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    title->setFont(big);
    title->setWordWrap(true);

    auto* iPhone = new QLabel(ids("IDS_WELCOME_ATTACH_IPHONE"), this);
    iPhone->setObjectName(QStringLiteral("lbWelcomeIPhone"));
    iPhone->setWordWrap(true);

    m_importBackup = choice("IDS_WELCOME_IMPORT_BACKUP", "btnWelcomeImportBackup", this);
    m_importDesktop = choice("IDS_WELCOME_IMPORT_DESKTOP", "btnWelcomeImportDesktop", this);
    m_demo = choice("IDS_WELCOME_OPEN_DEMO", "btnWelcomeDemo", this);

    // A column of readable width in the middle of whatever room there is.
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("welcomeColumn"));
    column->setMaximumWidth(560);
    auto* inner = new QVBoxLayout(column);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(14);
    inner->addWidget(title);
    inner->addWidget(iPhone);
    inner->addSpacing(6);
    for (QPushButton* b : {m_importBackup, m_importDesktop, m_demo}) {
        b->setParent(column);
        inner->addWidget(b);
    }

    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(column, 4);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(2);

    connect(m_importBackup, &QPushButton::clicked, this, &WelcomePanel::importBackupRequested);
    connect(m_importDesktop, &QPushButton::clicked, this, &WelcomePanel::importDesktopRequested);
    connect(m_demo, &QPushButton::clicked, this, &WelcomePanel::demoRequested);
}
