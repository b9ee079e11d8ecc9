#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace glyfrax {

class DialogService;
struct BmFontOptions;
struct Settings;

// The BMFont export as the window's commands run it: where the set goes, the refusals
// glyfrax-export makes, the run and what the user is told of it.

// Asks where the set goes, in the folder of the last BMFont export (else documentFolder): PNG
// offered first, BMP first when the options ask for BMP pages, PNG alone with a distance field. A
// name without extension gets the chosen type's; empty when the user cancels.
QString askBmFontImagePath(QWidget* window, DialogService& dialogs, const BmFontOptions& options,
                           const QString& documentFolder);

// Exports the set of the settings to imagePath (its descriptor beside it) on an ExportRunner and
// tells the user what came of it; a set written is remembered among the last exports. inputs: the
// files the export reads besides the settings' own, never replaced by it.
void exportBmFontSet(QWidget* window, DialogService& dialogs, const Settings& settings, const QStringList& inputs,
                     const QString& imagePath);

} // namespace glyfrax
