#pragma once

#include "app/window/SystemInfo.h"

#include <QDialog>

#include <memory>

namespace glyfrax {

class DialogService;

// Title, version and web address of the program, and a way to the system-information tool.
// Deletes itself on closing.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(DialogService& dialogs, std::unique_ptr<SystemAccess> system = {}, QWidget* parent = nullptr);
    ~AboutDialog() override;

    // "Version 1.2.3", without leading zeros.
    static QString versionLine(int major, int minor, int revision);

    // Starts the system-information tool, or says that there is none.
    void startSysInfo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DialogService& m_dialogs;
    std::unique_ptr<SystemAccess> m_system;
};

} // namespace glyfrax
