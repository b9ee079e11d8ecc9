#pragma once

#include <QString>

#include <functional>

class QIODevice;

namespace glyfrax {

// Writes a whole file through a temporary file in the target's folder, which replaces the
// target only once it is complete. On failure the target keeps its earlier contents, no
// temporary file is left, and the result is a German message naming the path and the reason;
// on success it is empty.
QString writeFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& writeContent);

} // namespace glyfrax
