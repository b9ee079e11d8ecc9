#pragma once

#include "app/DialogService.h"

#include <QStringList>
#include <QUrl>

namespace glyfrax::test {

// Answers the main window's dialogs as a script says, and records what was asked.
class FakeDialogs final : public DialogService
{
public:
    std::optional<QFont> fontAnswer;
    std::optional<QColor> colorAnswer;
    QString pathAnswer;

    QList<QFont> fontsOffered;
    QList<QColor> colorsOffered;
    QStringList warnings;
    QStringList messages;
    QList<QUrl> opened;

    std::optional<QFont> chooseFont(QWidget*, const QFont& current) override
    {
        fontsOffered << current;
        return fontAnswer;
    }
    std::optional<QColor> chooseColor(QWidget*, const QColor& current) override
    {
        colorsOffered << current;
        return colorAnswer;
    }
    QString chooseBitmapPath(QWidget*, const QString&) override { return pathAnswer; }
    void showWarning(QWidget*, const QString& message) override { warnings << message; }
    void showMessage(QWidget*, const QString& message) override { messages << message; }
    void openUrl(const QUrl& url) override { opened << url; }
};

} // namespace glyfrax::test
