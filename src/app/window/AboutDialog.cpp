#include "app/window/AboutDialog.h"

#include "Version.h"
#include "app/shared/AppInfo.h"
#include "app/shared/DialogService.h"
#include "app/window/SystemInfo.h"

#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace glyfrax {

namespace {

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

AboutDialog::AboutDialog(DialogService& dialogs, std::unique_ptr<SystemAccess> system, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs), m_system(system ? std::move(system) : makeSystemAccess())
{
    const QString title = QString::fromLatin1(kProgramTitle);
    // The object names of the windows and controls are what tests and assistive tools know them by,
    // odd as some are ("frmAbout", "n_backcolor"): they stay as they are.
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Info zu ") + title);
    setWindowIcon(QIcon(QStringLiteral(":/glyfrax/icon.png")));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(357, 170);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(262, 109, 84, 23);
    ok->setDefault(true); // Enter; Esc closes every dialog
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    initResources();
    auto* icon = addLabel(this, "picIcon", QString(), {16, 16, 32, 32});
    icon->setPixmap(QIcon(QStringLiteral(":/glyfrax/icon.png")).pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("Programmsymbol von Glyfrax"));

    auto* sysInfo = new QPushButton(QStringLiteral("&Systeminfo..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setGeometry(263, 139, 83, 23);
    connect(sysInfo, &QPushButton::clicked, this, &AboutDialog::startSysInfo);

    auto* disclaimer = addLabel(this, "lblDisclaimer",
                                QStringLiteral("Ohne Gewähr. Bitte prüfen Sie die erzeugten Dateien vor "
                                               "der Weitergabe."),
                                {17, 109, 234, 52});
    disclaimer->setWordWrap(true);

    QFont titleFont = font();
    titleFont.setBold(true);
    addLabel(this, "lblTitle", title, {70, 16, 259, 17})->setFont(titleFont);
    addLabel(this, "lblVersion", versionLine(kVersionMajor, kVersionMinor, kVersionPatch), {70, 37, 259, 15});

    auto* link = addLabel(this, "Hyperlink", webAddressForDisplay(), {174, 75, 94, 16});
    link->adjustSize();
    QPalette linkPalette = link->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    link->setPalette(linkPalette);
    QFont linkFont = link->font();
    linkFont.setUnderline(true);
    link->setFont(linkFont);
    link->adjustSize();
    link->setCursor(Qt::PointingHandCursor);
    link->setFocusPolicy(Qt::StrongFocus);
    link->setAccessibleName(QStringLiteral("Webseite von Glyfrax öffnen"));
    link->installEventFilter(this);

    auto* invitation = addLabel(this, "Label3",
                                QStringLiteral("Fragen und Anregungen sind herzlich willkommen.\n"
                                               "Danke! Schreiben Sie uns über"),
                                {21, 63, 322, 28});
    invitation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    link->move(invitation->x() +
                   invitation->fontMetrics().horizontalAdvance(QStringLiteral("Danke! Schreiben Sie uns über ")),
               link->y());

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(0, 97, width(), 2);

    QWidget* order[] = {ok, sysInfo, link};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

AboutDialog::~AboutDialog() = default;

QString AboutDialog::versionLine(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void AboutDialog::startSysInfo()
{
    if (startSystemInformation(*m_system) == SysInfoResult::Unavailable)
        m_dialogs.showMessage(this, QStringLiteral("Systeminformationen sind momentan nicht verfügbar"));
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    const bool clicked =
        event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    const bool keyed = event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space);
    if (watched->objectName() == QStringLiteral("Hyperlink") && (clicked || keyed)) {
        m_dialogs.openUrl(QUrl(webAddress()));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace glyfrax
