#pragma once

#include <QString>

#include <functional>

class QMimeData;
class QWidget;

namespace glyfrax {

// The first local file among dropped data whose name ends like a font file's (.ttf, .otf, .ttc,
// .otc); empty when there is none.
QString droppedFontFile(const QMimeData* data);

// Lets target take a font file dropped from a file manager: the pointer shows that it may be
// dropped only over a font file, and use gets its path.
void acceptFontDrops(QWidget* target, std::function<void(const QString&)> use);

} // namespace glyfrax
