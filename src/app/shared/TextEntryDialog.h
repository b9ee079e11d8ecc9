#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace glyfrax {

// Asks for a text of several lines. Return starts a new line, Ctrl+Return accepts, Tab leaves the
// text for the buttons (a tab character is no use in a list of characters).
class TextEntryDialog : public QDialog
{
    Q_OBJECT

public:
    TextEntryDialog(QWidget* parent, const QString& title, const QString& prompt);

    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_text = nullptr;
};

} // namespace glyfrax
