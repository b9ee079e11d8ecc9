#include "app/shared/TextEntryDialog.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace glyfrax {

TextEntryDialog::TextEntryDialog(QWidget* parent, const QString& title, const QString& prompt) : QDialog(parent)
{
    setObjectName(QStringLiteral("TextEntry"));
    setWindowTitle(title);
    auto* label = new QLabel(prompt, this);
    label->setWordWrap(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("EnteredText"));
    m_text->setTabChangesFocus(true);
    label->setBuddy(m_text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Übernehmen (Strg+Eingabe)"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_text->installEventFilter(this);
    auto* column = new QVBoxLayout(this);
    column->addWidget(label);
    column->addWidget(m_text, 1);
    column->addWidget(buttons);
    m_text->setFocus();
}

bool TextEntryDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Return belongs to the text; with Ctrl (Enter of the number block too) it accepts.
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ControlModifier)) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString TextEntryDialog::text() const
{
    return m_text->toPlainText();
}

} // namespace glyfrax
