#include "DialogService.h"

#include "Version.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace glyfrax {

std::optional<QFont> QtDialogService::chooseFont(QWidget* parent, const QFont& current)
{
    bool accepted = false;
    const QFont font = QFontDialog::getFont(&accepted, current, parent, QString(), QFontDialog::DontUseNativeDialog);
    if (!accepted)
        return std::nullopt;
    return font;
}

std::optional<QColor> QtDialogService::chooseColor(QWidget* parent, const QColor& current)
{
    const QColor color = QColorDialog::getColor(current, parent, QString(), QColorDialog::DontUseNativeDialog);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

QString QtDialogService::chooseBitmapPath(QWidget* parent, const QString& folder)
{
    // The dialog asks before it replaces an existing file; no suffix is added to a typed name.
    return QFileDialog::getSaveFileName(parent, QString(), folder, QStringLiteral("Bitmap (*.bmp)"), nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

void QtDialogService::showWarning(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, QString::fromLatin1(kProgramTitle), message);
}

void QtDialogService::showMessage(QWidget* parent, const QString& message)
{
    QMessageBox::information(parent, QString::fromLatin1(kProgramTitle), message, QMessageBox::Ok);
}

void QtDialogService::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

} // namespace glyfrax
