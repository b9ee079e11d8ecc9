#pragma once

#include "base/CodePage.h"
#include "base/Result.h"
#include "settings/Settings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace glyfrax {

// Settings given on the command line; each replaces the one read from the settings file.
struct SettingOverrides
{
    std::optional<QString> face;
    std::optional<float> size;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<std::int32_t> textColor;
    std::optional<std::int32_t> backColor;
    std::optional<bool> writeBinary;
    std::optional<bool> takeLong;
    std::optional<std::array<QString, 5>> labels;
    std::optional<std::int32_t> xDist;
    std::optional<std::int32_t> yDist;
    // BMFont options by key, as the command line gives them (checked already), in table order.
    QList<std::pair<QString, QString>> bmfont;

    void applyTo(Settings& settings) const;
};

struct CommandLine
{
    enum class Action
    {
        Export,
        ShowHelp,
        ShowVersion,
        ListFonts, // the installed families, the face of --font-file, or the axes of axesFile
        Finish,    // completes a replacement cut off in the folder bitmapPath names
        Project    // builds the sets of the project file projectPath
    };

    // The classic pair (bitmap and headerless metrics file) or a BMFont texture font.
    enum class Format
    {
        Classic,
        BmFont
    };

    Action action = Action::Export;
    QString bitmapPath;
    QString configPath; // empty: the one beside the program
    QString fontFile;
    QString axesFile; // --list-fonts --axes: the font file whose axes are listed
    SettingOverrides overrides;
    Format format = Format::Classic;
    std::optional<CodePage> codePage; // the characters of codes 32 to 255 of the classic pair
    bool verbose = false;
    bool quiet = false;      // no progress display, nothing on stdout
    bool allowLarge = false; // textures above kLargeTextureSide too
    QString depfile;         // where the export's inputs are written for make and Ninja; empty: nowhere
    // A project's build: its file, whether every set is built or none, the scales of every set.
    QString projectPath;
    bool force = false;
    bool dryRun = false;
    bool watch = false;
    std::vector<double> scales; // empty: each set's own
};

// Textures with a larger side are made only when asked for: 8192 x 8192 is already a 192 MiB bitmap.
constexpr std::int32_t kLargeTextureSide = 8192;

// Whether a texture of this size may be made: one above kLargeTextureSide only when allowed, else
// a message that tells how large its bitmap would be.
Result<void> approveTextureSize(bool allowLarge, std::int32_t width, std::int32_t height);

// Reads the arguments (the program name first). A wrong command line fails with a German
// message. Never exits the process.
Result<CommandLine> parseCommandLine(const QStringList& arguments);

// The help: Qt's table of the options, the description wrapped to width columns, and what the
// exit codes mean.
QString commandLineHelp(int width);

} // namespace glyfrax
