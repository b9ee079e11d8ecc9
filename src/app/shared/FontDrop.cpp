#include "app/shared/FontDrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>
#include <QWidget>

namespace glyfrax {

namespace {

// Watches the drag and drop events of the widget it belongs to.
class FontDropFilter final : public QObject
{
public:
    FontDropFilter(QWidget* target, std::function<void(const QString&)> use) : QObject(target), m_use(std::move(use)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (droppedFontFile(drag->mimeData()).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString file = droppedFontFile(drop->mimeData());
            if (file.isEmpty())
                return QObject::eventFilter(watched, event);
            drop->acceptProposedAction();
            m_use(file);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const QString&)> m_use;
};

} // namespace

QString droppedFontFile(const QMimeData* data)
{
    static const QRegularExpression fontFile(QStringLiteral(R"(\.(ttf|otf|ttc|otc)$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && fontFile.match(url.toLocalFile()).hasMatch())
            return url.toLocalFile();
    }
    return {};
}

void acceptFontDrops(QWidget* target, std::function<void(const QString&)> use)
{
    target->setAcceptDrops(true);
    target->installEventFilter(new FontDropFilter(target, std::move(use)));
}

} // namespace glyfrax
