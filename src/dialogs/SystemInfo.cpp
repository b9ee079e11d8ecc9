#include "SystemInfo.h"

#include "settings/Windows1252.h"

#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace glyfrax {

bool GetKeyValue(SystemAccess& system, std::uint32_t keyRoot, const QString& keyName, const QString& subKeyRef,
                 QString& keyVal)
{
    SystemAccess::KeyHandle key = 0;
    if (!system.openKey(keyRoot, keyName, kKeyAccessMask, key)) {
        keyVal.clear();
        return false;
    }
    std::uint32_t type = 0;
    QByteArray data;
    if (!system.queryValue(key, subKeyRef, kValueBufferSize, type, data)) {
        keyVal.clear();
        system.closeKey(key);
        return false;
    }
    // A value of size 0 is an empty text, not an error.
    if (!data.isEmpty() && data.back() == '\0')
        data.chop(1);

    if (type == kRegSz) {
        keyVal = decodeWindows1252(data);
    } else if (type == kRegDword) {
        QByteArray number = data.left(4);
        number.resize(4, '\0');
        keyVal = QStringLiteral("&h") + QString::number(qFromLittleEndian<quint32>(number.constData()), 16).toUpper();
    }
    system.closeKey(key);
    return true;
}

SysInfoResult StartSysInfo(SystemAccess& system)
{
    QString path;
    if (!GetKeyValue(system, kHKeyLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                     QStringLiteral("PATH"), path)) {
        if (!GetKeyValue(system, kHKeyLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                         QStringLiteral("MSINFO"), path))
            return SysInfoResult::Unavailable;
        const QString program = path + QStringLiteral("\\MSINFO32.EXE");
        if (!system.isOrdinaryFile(program))
            return SysInfoResult::Unavailable;
        path = program;
    }
    return system.startProgram(path) ? SysInfoResult::Started : SysInfoResult::Unavailable;
}

namespace {

class PlatformSystemAccess final : public SystemAccess
{
public:
#ifdef Q_OS_WIN
    bool openKey(std::uint32_t root, const QString& keyName, std::uint32_t access, KeyHandle& key) override
    {
        HKEY handle = nullptr;
        const QByteArray name = keyName.toLocal8Bit();
        if (RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root)), name.constData(), 0, access, &handle) !=
            ERROR_SUCCESS)
            return false;
        key = reinterpret_cast<KeyHandle>(handle);
        return true;
    }

    bool queryValue(KeyHandle key, const QString& valueName, std::uint32_t bufferSize, std::uint32_t& type,
                    QByteArray& data) override
    {
        QByteArray buffer(int(bufferSize), '\0');
        DWORD size = bufferSize;
        DWORD valueType = 0;
        const QByteArray name = valueName.toLocal8Bit();
        if (RegQueryValueExA(reinterpret_cast<HKEY>(key), name.constData(), nullptr, &valueType,
                             reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS)
            return false;
        type = valueType;
        data = buffer.left(int(size));
        return true;
    }

    void closeKey(KeyHandle key) override
    {
        RegCloseKey(reinterpret_cast<HKEY>(key));
    }
#else
    bool openKey(std::uint32_t, const QString&, std::uint32_t, KeyHandle&) override
    {
        return false;
    }
    bool queryValue(KeyHandle, const QString&, std::uint32_t, std::uint32_t&, QByteArray&) override
    {
        return false;
    }
    void closeKey(KeyHandle) override {}
#endif

    bool isOrdinaryFile(const QString& path) override
    {
        const QFileInfo info(path);
        return info.isFile() && !info.isHidden();
    }

    bool startProgram(const QString& path) override
    {
        return QProcess::startDetached(path, {});
    }
};

} // namespace

std::unique_ptr<SystemAccess> makeSystemAccess()
{
    return std::make_unique<PlatformSystemAccess>();
}

} // namespace glyfrax
