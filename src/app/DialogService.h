#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

namespace glyfrax {

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
    virtual void showWarning(QWidget* parent, const QString& message) = 0;
    // A plain notice with an OK button.
    virtual void showMessage(QWidget* parent, const QString& message) = 0;
    // Opens a file or address with the desktop's default handler; failure passes silently.
    virtual void openUrl(const QUrl& url) = 0;
};

// The real dialogs: Qt's own, so that they speak German with Qt's translations.
class QtDialogService final : public DialogService
{
public:
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& current) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& current, const QString& title) override;
    QString chooseBitmapPath(QWidget* parent, const QString& folder) override;
    void showWarning(QWidget* parent, const QString& message) override;
    void showMessage(QWidget* parent, const QString& message) override;
    void openUrl(const QUrl& url) override;
};

} // namespace glyfrax
