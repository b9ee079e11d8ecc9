#pragma once

#include "settings/BmFontOptions.h"
#include "settings/FontSettings.h"

#include <QString>

#include <functional>

class QWidget;

namespace glyfrax {

// One page of the BMFont settings dialog: it builds its controls from the options the dialog
// opens with and writes what they show back into options. Each control shows its option's value
// exactly (one a control cannot offer gets an entry of its own), so an option the user leaves
// alone is written back unchanged. A further group of options is one more subclass in the
// dialog's list.
class BmFontOptionGroup
{
public:
    virtual ~BmFontOptionGroup() = default;

    // The page's caption with its access key, "&Seiten".
    virtual QString title() const = 0;
    // The page, showing options; changed is called after every edit of a control on it.
    virtual QWidget* buildPage(const BmFontOptions& options, const std::function<void()>& changed) = 0;
    // Writes the values the controls show into options.
    virtual void store(BmFontOptions& options) const = 0;
    // What keeps OK from being possible, naming the entry at fault; empty when nothing does.
    virtual QString problem() const { return {}; }
    // The font the options are for has changed.
    virtual void showFont(const FontSettings& font) { static_cast<void>(font); }
    // The options as the whole dialog shows them, after an edit on any page: a page may show what
    // another page's options mean for its own (the characters the fallback fonts give).
    virtual void showOptions(const BmFontOptions& options) { static_cast<void>(options); }
};

} // namespace glyfrax
