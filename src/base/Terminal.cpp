#include "base/Terminal.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <sys/ioctl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#endif

namespace glyfrax {

namespace {

// The columns of the terminal standard output goes to; 0 for anything else.
int outputColumns()
{
#if defined(Q_OS_UNIX)
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
        return size.ws_col;
#elif defined(Q_OS_WIN)
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#endif
    return 0;
}

} // namespace

int terminalWidth()
{
    if (const int columns = outputColumns(); columns > 0)
        return columns;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : 80;
}

bool isTerminal(std::FILE* stream)
{
#if defined(Q_OS_UNIX)
    return ::isatty(::fileno(stream)) != 0;
#elif defined(Q_OS_WIN)
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return false; // progress lines would only end up in a log
#endif
}

} // namespace glyfrax
