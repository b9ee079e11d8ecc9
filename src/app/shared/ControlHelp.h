#pragma once

#include "settings/BmFontOptions.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QString>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace glyfrax {

// What a control changes, for the pointer and for screen readers alike.
template <typename W> W* explain(W* widget, const QString& text)
{
    // As rich text, so a long tip wraps into a paragraph instead of running off the screen.
    widget->setToolTip(QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
    widget->setAccessibleDescription(text);
    return widget;
}

// A button beside other controls of a page, never pressed by Enter: Enter in a line edit means OK.
inline QPushButton* addButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

// A check box for a switch of the options, showing its value.
inline QCheckBox* addSwitch(QWidget* parent, const char* name, const QString& caption, bool checked,
                            const QString& help)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return explain(box, help);
}

// A drop-down list for an option of a few values, each entry a caption with the value as its data,
// showing the chosen value (the first entry when it has none).
inline QComboBox* addChoice(QWidget* parent, const char* name, const QString& accessibleName,
                            const std::vector<std::pair<QString, int>>& entries, int chosen, const QString& help)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(accessibleName);
    for (const auto& [caption, value] : entries)
        box->addItem(caption, value);
    box->setCurrentIndex(std::max(0, box->findData(chosen)));
    return explain(box, help);
}

// The entries of an option of a few named values, as the option table captions them.
inline std::vector<std::pair<QString, int>> choiceEntries(QStringView key)
{
    std::vector<std::pair<QString, int>> entries;
    for (const OptionChoice& choice : bmFontOption(key).choices)
        entries.emplace_back(choice.caption, choice.value);
    return entries;
}

// The entries of an option that is a power of two, each one its range holds, captioned by caption.
inline std::vector<std::pair<QString, int>> powerEntries(QStringView key, const std::function<QString(int)>& caption)
{
    const NumberRange range = bmFontOption(key).numbers.front();
    std::vector<std::pair<QString, int>> entries;
    for (std::int32_t value = range.least; value <= range.greatest; value *= 2)
        entries.emplace_back(caption(value), value);
    return entries;
}

// A spin box for one number of an option in pixels, offering the range the option table gives it.
inline QSpinBox* addPixels(QWidget* parent, const char* name, const QString& accessibleName, NumberRange range,
                           int value)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(accessibleName);
    box->setRange(range.least, range.greatest);
    box->setSuffix(QStringLiteral(" Pixel"));
    box->setValue(value);
    return box;
}

// A form's label for a row of several controls, whose access key goes to the first.
inline QLineEdit* addLine(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setAccessibleName(accessibleName);
    return line;
}

inline QLabel* buddyLabel(QWidget* parent, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

// A line in red under the controls that tells what keeps OK off; hidden while nothing does.
inline QLabel* addProblemLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b00000"));
    label->hide();
    return label;
}

// Once the access key of an option with a number beside it chooses the option, the focus goes on to
// the number, selected, so that it can be typed at once; arrow keys still go from option to option.
class NumberAfterAccessKey : public QObject
{
public:
    NumberAfterAccessKey(QAbstractButton* option, QAbstractSpinBox* number) : QObject(option), m_number(number)
    {
        option->installEventFilter(this);
        // The access key clicks the option a moment later; its number is on once the toggle is through.
        connect(option, &QAbstractButton::toggled, this, [this](bool chosen) {
            if (chosen && std::exchange(m_keyed, false))
                QMetaObject::invokeMethod(
                    this, [this] { takeFocus(); }, Qt::QueuedConnection);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Shortcut)
            return false;
        if (static_cast<QAbstractButton*>(watched)->isChecked()) // no toggle comes
            QMetaObject::invokeMethod(
                this, [this] { takeFocus(); }, Qt::QueuedConnection);
        else
            m_keyed = true;
        return false;
    }

private:
    void takeFocus()
    {
        m_number->setFocus(Qt::ShortcutFocusReason);
        m_number->selectAll();
    }

    QAbstractSpinBox* m_number;
    bool m_keyed = false;
};

// Why a control is off while a distance field is chosen, added to its tip.
inline QString notWithFieldNote()
{
    return QStringLiteral("Nicht mit einem Distanzfeld (Seite „Distanzfeld und Effekte“).");
}

// A choice that cannot go with a distance field: off while one is chosen, and its tip says why. One
// already chosen stays on, so that the user can undo it; the line above OK names the clash.
inline void offWithField(QWidget* control, PageField field, bool chosen)
{
    const char* plainTip = "plainToolTip";
    if (!control->property(plainTip).isValid())
        control->setProperty(plainTip, control->toolTip());
    const bool off = field != PageField::None && !chosen;
    control->setEnabled(!off);
    const QString tip = control->property(plainTip).toString();
    control->setToolTip(off ? tip + QStringLiteral("<p>%1</p>").arg(notWithFieldNote()) : tip);
}

} // namespace glyfrax
