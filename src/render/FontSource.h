#pragma once

#include "base/Result.h"
#include "settings/FontVariation.h"

#include <QByteArray>
#include <QFont>
#include <QRawFont>
#include <QString>
#include <QStringList>

#include <vector>

namespace glyfrax {

struct LoadedSettings;
enum class OptionWords;

// The largest font file that is read; real ones, even for East Asian scripts, stay far below.
constexpr qint64 kMaxFontFileSize = qint64(256) << 20;

// The same TrueType or OpenType font with family as its only family name. Fails for anything
// else, a font collection (.ttc) included.
Result<QByteArray> renameFontFamily(const QByteArray& font, const QString& family);

// The face-th font of a collection (.ttc, .otc) as a font file of its own: its table directory
// and the tables it lists. A single font is its own face 0.
Result<QByteArray> faceOfCollection(const QByteArray& font, int face);

// A font file's name as given: the file, and which face of a collection ("PATH#N"; 0 without).
// "#N" counts only where the whole text names no file.
struct FontFileName
{
    QString path;
    int face = 0;
};
FontFileName splitFaceNumber(const QString& text);

// A face loaded from a file, or an installed family: the family name it is found under, the
// name to show, and the file it was read from.
struct RegisteredFont
{
    QString family;      // of a file: "Glyfrax-Schriftdatei-" and the SHA-1 of the face
    QString displayName; // the face's own family name, for descriptors and messages
    QString file;        // empty for an installed family
};

// The bytes of the face a font file's name names (a collection's "PATH#N" as a font of its own).
Result<QByteArray> readFontFace(const QString& path);

// The value of each axis of the face (in the order of its fvar table) for the variation: the
// defaults for none; an axis, value or instance the face does not have fails with a German
// message that names the file (path).
Result<std::vector<double>> checkVariation(const QString& path, const QByteArray& face, const FontVariation& variation);

// Makes a face of a TrueType or OpenType file (or collection, "PATH#N") available under a
// family name of its own. Installed faces of the file's own family can then never stand in for
// it, however the path is spelled; bold and italic are drawn from the file's face and only made
// up where the file's face is not already bold or italic. A variable face is drawn at the
// variation's coordinates, as a face of its own. Must run in a QGuiApplication.
Result<RegisteredFont> registerFontFile(const QString& path, const FontVariation& variation = {});
// Whether a family is one registerFontFile made: its variation is already drawn.
bool isRegisteredFile(const QString& family);
// An installed face at a variation's coordinates, as a face of its own made from its tables. The
// family of the result is the installed one's at its defaults.
Result<RegisteredFont> registerInstalledVariation(const QFont& font, const FontVariation& variation);
// An installed face as a font file of the tables that draw, measure and vary it.
QByteArray installedFaceBytes(const QRawFont& font);

// The family name the font itself gives in its name table (US English where it has several), not
// the name it was asked for or one the system adds a foundry to ("Nimbus Sans [urw]"); what the
// window shows and a descriptor names. The system's name, foundry dropped, for a font without one.
QString ownFamilyName(const QRawFont& font);
// A font as a list of fonts names it: a path when it has a folder separator or ends in a font
// file's extension (with "#N" or without), otherwise an installed family.
bool namesFontFile(const QString& font);
// That font registered (a file) or found (a family); a family that is not installed fails.
Result<RegisteredFont> findFont(const QString& font);

// Whether a font family of this name has faces installed (or registered from a file). Generic
// names such as "monospace" do not count: which face they give differs from one system to the next.
bool isFaceInstalled(const QString& face);
// "Die Schriftart „X“ ist nicht installiert.", with the installed families of similar names.
QString faceNotInstalledMessage(const QString& face);
// Whether the exports take the face the settings name: one is named (a settings file without a
// face reads as "0", the value of every missing key) and installed, since a stand-in drawn for it
// would be shipped without a word. The message tells the reader (words) how to name one.
Result<void> checkFace(const QString& face, OptionWords words);

// The installed families, one line each, sorted: the family as --font takes it, a tab, then its
// styles separated by ", ". Control characters in a name are shown as shownText shows them.
QStringList installedFontList();

// The family and style of the face in a TrueType or OpenType file, as "family<tab>style".
Result<QString> fontFileFace(const QString& path);

// What the window tells at start about the settings file: why it could not be read, that it held
// no settings, the keys that did not convert, and whether the face it names is installed and
// which face stands in for it. Empty when all is well.
QString startupReport(const QString& path, const LoadedSettings& loaded);

} // namespace glyfrax
