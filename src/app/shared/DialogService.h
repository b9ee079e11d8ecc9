#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

namespace glyfrax {

// What a file dialog asks for.
struct FileQuestion
{
    bool save = false; // a name to write (asking before an existing file is replaced), or a file to read
    QString title;
    QString folder;
    QStringList filters; // "PNG-Bild (*.png)", offered in this order, the first chosen at first
    // Each filter's extension without its dot ("png"), which a typed name without one gets; may be empty.
    QStringList suffixes;
    bool ofFolder = false; // a folder to read instead of a file
};

// The file chosen and the filter it was chosen with; an empty path when the user cancels.
struct FileAnswer
{
    QString path;
    int filter = 0;
};

// The modal dialogs and desktop services the main window asks for. The window talks to this
// interface so that its commands can be driven without a person at the keyboard.
class DialogService
{
public:
    virtual ~DialogService() = default;

    // Each returns nothing when the user cancels.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& current) = 0;
    // The title says which colour is set: both colour dialogs open on the same palette.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& current, const QString& title) = 0;
    // An empty text when the user cancels.
    virtual QString chooseBitmapPath(QWidget* parent, const QString& folder) = 0;
    virtual FileAnswer chooseFile(QWidget* parent, const FileQuestion& question) = 0;
    // Text the user types or pastes; nothing when the user cancels.
    virtual std::optional<QString> enterText(QWidget* parent, const QString& title, const QString& prompt) = 0;
    virtual void showWarning(QWidget* parent, const QString& message) = 0;
    // A plain notice with an OK button.
    virtual void showMessage(QWidget* parent, const QString& message) = 0;
    // Opens a file or address with the desktop's default handler; false when none could.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The real dialogs: Qt's own, so that they speak German with Qt's translations.
class QtDialogService final : public DialogService
{
public:
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& current) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& current, const QString& title) override;
    QString chooseBitmapPath(QWidget* parent, const QString& folder) override;
    FileAnswer chooseFile(QWidget* parent, const FileQuestion& question) override;
    std::optional<QString> enterText(QWidget* parent, const QString& title, const QString& prompt) override;
    void showWarning(QWidget* parent, const QString& message) override;
    void showMessage(QWidget* parent, const QString& message) override;
    bool openUrl(const QUrl& url) override;
};

} // namespace glyfrax
