#pragma once

#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/BmFontWriter.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>

class QIODevice;

namespace glyfrax {

// The names of the pages as a descriptor gives them: each once, and no more than a set can have,
// however often or many it claims.
class PageNames
{
public:
    // False once no more names are taken.
    bool add(const QString& name)
    {
        if (!name.isEmpty() && !m_seen.contains(name)) {
            m_seen.insert(name);
            m_names.append(name);
        }
        return m_names.size() < kMaxBmFontPages;
    }

    QStringList names() const { return m_names; }

private:
    QSet<QString> m_seen;
    QStringList m_names;
};

// The stand-in for a character a form cannot hold in a name.
constexpr char32_t kStandIn = U'\uFFFD';

// What each descriptor form brings, in a file of its own (TextForm.cpp, …): how it is written, which
// characters its names hold, and how an earlier descriptor in it is read back.
struct FormParts
{
    // Writes the descriptor; false when the device refused a write.
    bool (*write)(QIODevice& device, const BmFont& font);
    // A character of a name as the form writes it: itself, or a stand-in for one it cannot hold.
    char32_t (*written)(char32_t c);
    // Whether the head of a file is a descriptor in this form.
    bool (*recognises)(const QByteArray& head);
    // Gives the page names of a head in this form to names, page 0 first, until it takes no more.
    void (*readPages)(const QByteArray& head, PageNames& names);
    // Gives the cells of a whole descriptor in this form, as far as they can be read.
    void (*readCells)(const QByteArray& bytes, DescriptorCells& cells);
};

// The parts of a form: a form without them does not compile (-Wswitch).
const FormParts& formParts(DescriptorForm form);

} // namespace glyfrax
