#include "app/shared/DialogService.h"

#include "Version.h"
#include "app/shared/FontChoice.h"
#include "app/shared/TextEntryDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>

#include <algorithm>
#include <cstdlib>

namespace glyfrax {

namespace {

// The font's style by the name its family gives it ("Book", "Bold Oblique", ...). Without it
// the font dialog looks for "Normal", may not find it, and preselects a style the font is not in.
QFont withStyleName(QFont font)
{
    const QString family = font.family();
    QString best;
    int bestDistance = 0;
    for (const QString& style : QFontDatabase::styles(family)) {
        // An oblique style counts as italic here, as it does for QFont::italic().
        const bool slanted = QFontDatabase::font(family, style, 12).style() != QFont::StyleNormal;
        if (slanted != font.italic() || QFontDatabase::bold(family, style) != font.bold())
            continue;
        const int distance = std::abs(QFontDatabase::weight(family, style) - font.weight()) +
                             (style.contains(u"Condensed", Qt::CaseInsensitive) ? 1000 : 0);
        if (best.isEmpty() || distance < bestDistance) {
            best = style;
            bestDistance = distance;
        }
    }
    if (!best.isEmpty())
        font.setStyleName(best);
    return font;
}

} // namespace

std::optional<QFont> QtDialogService::chooseFont(QWidget* parent, const QFont& current)
{
    QFontDialog dialog(parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setCurrentFont(withStyleName(current));
    // Underline and strikeout are no part of a texture font's settings: do not offer them.
    // The sample box beside them keeps the height they had. In their place a note says which
    // face stands in when the chosen style is one the settings cannot keep.
    auto* note = new QLabel(&dialog);
    note->setObjectName(QStringLiteral("standInNote"));
    note->setWordWrap(true);
    const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    for (QGroupBox* effects : groups) {
        if (effects->findChildren<QCheckBox*>().isEmpty())
            continue;
        for (QGroupBox* other : groups)
            other->setMinimumHeight(effects->sizeHint().height());
        effects->hide();
        note->setMinimumHeight(effects->sizeHint().height()); // the dialog keeps its shape with or without a note
        int row = 0, column = 0, rows = 0, columns = 0;
        if (grid && grid->indexOf(effects) >= 0) {
            grid->getItemPosition(grid->indexOf(effects), &row, &column, &rows, &columns);
            grid->addWidget(note, row, column, rows, columns);
        }
    }
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto showNote = [note](const QFont& font) { note->setText(standInNote(font)); };
    QObject::connect(&dialog, &QFontDialog::currentFontChanged, note, showNote);
    showNote(dialog.currentFont());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFont();
}

std::optional<QColor> QtDialogService::chooseColor(QWidget* parent, const QColor& current, const QString& title)
{
    const QColor color = QColorDialog::getColor(current, parent, title, QColorDialog::DontUseNativeDialog);
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

FileAnswer QtDialogService::chooseFile(QWidget* parent, const FileQuestion& question)
{
    QFileDialog dialog(parent, question.title, question.folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(question.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(question.ofFolder ? QFileDialog::Directory
                                         : (question.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile));
    dialog.setOption(QFileDialog::ShowDirsOnly, question.ofFolder);
    dialog.setNameFilters(question.filters);
    // The chosen filter's extension goes to a name without one before the dialog asks whether an
    // existing file may be replaced, so that it asks about the file that will be written.
    auto suffixOf = [&question](const QString& filter) {
        const qsizetype index = question.filters.indexOf(filter);
        return index >= 0 && index < question.suffixes.size() ? question.suffixes.at(index) : QString();
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, suffixOf](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
    if (!question.filters.isEmpty()) {
        dialog.selectNameFilter(question.filters.first());
        dialog.setDefaultSuffix(suffixOf(question.filters.first()));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().first(),
            int(std::max<qsizetype>(0, question.filters.indexOf(dialog.selectedNameFilter())))};
}

std::optional<QString> QtDialogService::enterText(QWidget* parent, const QString& title, const QString& prompt)
{
    TextEntryDialog dialog(parent, title, prompt);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.text();
}

void QtDialogService::showWarning(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, QString::fromLatin1(kProgramTitle), message);
}

void QtDialogService::showMessage(QWidget* parent, const QString& message)
{
    QMessageBox::information(parent, QString::fromLatin1(kProgramTitle), message, QMessageBox::Ok);
}

bool QtDialogService::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace glyfrax
