#pragma once

#include <QObject>
#include <QProgressDialog>

#include <atomic>
#include <functional>
#include <optional>

class QAction;

namespace glyfrax {

// One export from the window, run on a thread of its own while the window keeps drawing. As long
// as the runner lives, the window's commands are off, the wait cursor shows and the window does
// not close; a long export shows a modal progress dialog, whose Abbrechen the export hears through
// stillWanted. The export makes every font it uses on its own thread and reaches the dialog only
// through tell: fonts and widgets never cross threads.
class ExportRunner : public QObject
{
public:
    ExportRunner(QWidget* window, const QString& title);
    ~ExportRunner() override;

    // The progress dialog, to be set up before run.
    QProgressDialog& progress() { return m_progress; }

    // False once Abbrechen was clicked; asked on any of the export's threads.
    bool stillWanted() const { return !m_cancelled; }

    // Changes the progress dialog from any thread: the change is made on the window's thread, in
    // the order told, and dropped when the run is over before it comes.
    void tell(std::function<void(QProgressDialog&)> change);

    // Runs work on a thread of its own while the window's events go on, and returns what it made.
    template <typename Work> auto run(Work work) -> decltype(work())
    {
        std::optional<decltype(work())> made;
        runAside([&] { made.emplace(work()); });
        return std::move(*made);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runAside(const std::function<void()>& work);

    QWidget* m_window;
    QProgressDialog m_progress;
    QList<QAction*> m_switchedOff;
    std::atomic<bool> m_cancelled = false;
};

} // namespace glyfrax
