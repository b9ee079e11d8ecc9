#pragma once

// A project: every texture font of a game in one INI file, one section a set, with a [defaults]
// section the sets inherit from.

#include "base/Result.h"
#include "settings/Settings.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace glyfrax {

// One set as the project file gives it, scales not yet applied. Paths are absolute, resolved
// against the project file's folder.
struct ProjectSet
{
    QString name;      // the section's name: "ui-regular-24"
    int line = 0;      // the line of its section header
    QString imagePath; // the page image the export is given; pages and descriptor are named from it
    QString fontFile;  // the font's file; empty: the installed family the settings name
    Settings settings;
    std::vector<double> scales{1.0};
    QString problem; // why the set cannot be built, naming file, line and key; empty: it can
};

struct Project
{
    QString path; // the project file, absolute
    std::vector<ProjectSet> sets;
};

// The largest scale: beyond it sizes and pages only grow without use.
constexpr double kLargestScale = 8.0;

// Reads the project file. A file that cannot be read, or holds no set, fails; a section with a
// wrong line, an unknown key or a bad value is a set with a problem, and the other sets stand.
Result<Project> readProject(const QString& path);

// The scales of a "1,2" or "1, 1.5, 3" list: each above 0 and at most kLargestScale, none twice.
Result<std::vector<double>> scalesFromText(const QString& text);

// "" for scale 1, otherwise the suffix that names a scale's files: "@2x", "@1.5x".
QString scaleSuffix(double scale);

// One set at one scale: what one export makes.
struct ProjectTarget
{
    QString name; // the set's name and its scale's suffix: "ui-regular-24@2x"
    QString imagePath;
    QString fontFile;
    Settings settings; // sizes and pixel lengths multiplied by the scale
    double scale = 1.0;
    QString problem;
};

// The project's targets in file order, each set's scales in its order. A scale that takes a
// value beyond its range is a target with that problem.
std::vector<ProjectTarget> projectTargets(const Project& project);

} // namespace glyfrax
