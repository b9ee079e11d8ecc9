#include "export/bmfont/BmFontReader.h"

#include "export/bmfont/forms/FormParts.h"

namespace glyfrax {

QStringList pageFilesNamedBy(const QByteArray& head)
{
    PageNames names;
    for (const DescriptorFormFacts& facts : kDescriptorForms) {
        const FormParts& parts = formParts(facts.value);
        if (parts.recognises(head)) { // the forms' first bytes differ: one at most
            parts.readPages(head, names);
            break;
        }
    }
    return names.names();
}

std::optional<DescriptorCells> readDescriptorCells(const QByteArray& bytes)
{
    for (const DescriptorFormFacts& facts : kDescriptorForms) {
        const FormParts& parts = formParts(facts.value);
        if (parts.recognises(bytes.left(kDescriptorHeadSize))) {
            DescriptorCells cells;
            parts.readCells(bytes, cells);
            return cells;
        }
    }
    return std::nullopt;
}

} // namespace glyfrax
