#include "app/window/ExportRunner.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>

#include <thread>

namespace glyfrax {

ExportRunner::ExportRunner(QWidget* window, const QString& title) : m_window(window), m_progress(window)
{
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->isEnabled()) {
            action->setEnabled(false);
            m_switchedOff.append(action);
        }
    }
    window->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_progress.setWindowTitle(title);
    m_progress.setCancelButton(nullptr);
    m_progress.setWindowModality(Qt::ApplicationModal);
    m_progress.setMinimumDuration(1000); // a short export shows nothing
    connect(&m_progress, &QProgressDialog::canceled, this, [this] { m_cancelled = true; });
}

ExportRunner::~ExportRunner()
{
    m_progress.reset();
    QApplication::restoreOverrideCursor();
    m_window->removeEventFilter(this);
    for (QAction* action : m_switchedOff)
        action->setEnabled(true);
}

void ExportRunner::tell(std::function<void(QProgressDialog&)> change)
{
    QMetaObject::invokeMethod(
        this, [this, change = std::move(change)] { change(m_progress); }, Qt::QueuedConnection);
}

void ExportRunner::runAside(const std::function<void()>& work)
{
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join(); // also when the program's end left the loop early
    // What the loop did not show any more is of a run that is over.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

bool ExportRunner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close) {
        event->ignore(); // the window stays until its files are written
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace glyfrax
