#pragma once

#include "project/Project.h"

#include <QString>

#include <optional>

class QWidget;

namespace glyfrax {

class DialogService;

// Projects as the window's commands run them: choosing a project file, telling what it holds, and
// its build with a progress dialog and one report of every set.

// Asks for a project file, in the folder of the last one chosen (else documentFolder); empty when
// the user cancels.
QString askProjectPath(QWidget* window, DialogService& dialogs, const QString& documentFolder);

// Reads the project file and tells what it holds: its sets, each with its font, output and
// scales, or the problem that keeps it from being built. Nothing, after a message saying why,
// when the file cannot be read as a project; the message then says that openPath, the project
// open so far (if any), stays open.
std::optional<Project> openProjectFile(QWidget* window, DialogService& dialogs, const QString& path,
                                       const QString& openPath);

// Builds the project file as it is now (it may have changed since it was opened) on an
// ExportRunner: every set whose files are no longer current, Abbrechen leaving those not finished
// as they were. Then one message tells each set's outcome and the sum of them.
void buildProjectFile(QWidget* window, DialogService& dialogs, const QString& path);

// The name the window gives a project: its file's name without the extension.
QString projectName(const QString& path);

} // namespace glyfrax
