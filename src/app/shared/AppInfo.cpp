#include "app/shared/AppInfo.h"

#include <QtGlobal>

// Resources compiled into a static library are only linked in when asked for by name, and
// Q_INIT_RESOURCE must stand outside any namespace.
static void initGlyfraxResources()
{
    Q_INIT_RESOURCE(glyfrax);
}

namespace glyfrax {

void initResources()
{
    initGlyfraxResources();
}

} // namespace glyfrax
