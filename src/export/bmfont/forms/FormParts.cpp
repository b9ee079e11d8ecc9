#include "export/bmfont/forms/FormParts.h"

namespace glyfrax {

// Each in its form's file.
extern const FormParts kTextForm;
extern const FormParts kXmlForm;
extern const FormParts kBinaryForm;
extern const FormParts kJsonForm;

const FormParts& formParts(DescriptorForm form)
{
    switch (form) {
    case DescriptorForm::Text:
        return kTextForm;
    case DescriptorForm::Xml:
        return kXmlForm;
    case DescriptorForm::Binary:
        return kBinaryForm;
    case DescriptorForm::Json:
        return kJsonForm;
    }
    return kTextForm; // not reached: every form is listed
}

} // namespace glyfrax
