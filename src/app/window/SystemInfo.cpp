#include "app/window/SystemInfo.h"

#include "base/Windows1252.h"

#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace glyfrax {

std::optional<QString> readKeyValue(SystemAccess& system, std::uint32_t keyRoot, const QString& keyName,
                                    const QString& valueName)
{
    const std::optional<SystemAccess::KeyHandle> key = system.openKey(keyRoot, keyName, kKeyAccessMask);
    if (!key)
        return std::nullopt;
    std::optional<SystemAccess::Value> value = system.queryValue(*key, valueName, kValueBufferSize);
    system.closeKey(*key);
    if (!value)
        return std::nullopt;
    QByteArray& data = value->data;
    // A value of size 0 is an empty text, not an error.
    if (!data.isEmpty() && data.back() == '\0')
        data.chop(1);
    if (value->type == kRegSz)
        return decodeWindows1252(data);
    if (value->type == kRegDword) {
        QByteArray number = data.left(4);
        number.resize(4, '\0');
        return QStringLiteral("&h") + QString::number(qFromLittleEndian<quint32>(number.constData()), 16).toUpper();
    }
    return QString();
}

SysInfoResult startSystemInformation(SystemAccess& system)
{
    std::optional<QString> path = readKeyValue(
        system, kHKeyLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"));
    if (!path) {
        const std::optional<QString> folder =
            readKeyValue(system, kHKeyLocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                         QStringLiteral("MSINFO"));
        if (!folder)
            return SysInfoResult::Unavailable;
        const QString program = *folder + QStringLiteral("\\MSINFO32.EXE");
        if (!system.isOrdinaryFile(program))
            return SysInfoResult::Unavailable;
        path = program;
    }
    return system.startProgram(*path) ? SysInfoResult::Started : SysInfoResult::Unavailable;
}

namespace {

class PlatformSystemAccess final : public SystemAccess
{
public:
#ifdef Q_OS_WIN
    std::optional<KeyHandle> openKey(std::uint32_t root, const QString& keyName, std::uint32_t access) override
    {
        HKEY handle = nullptr;
        const QByteArray name = keyName.toLocal8Bit();
        if (RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root)), name.constData(), 0, access, &handle) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return reinterpret_cast<KeyHandle>(handle);
    }

    std::optional<Value> queryValue(KeyHandle key, const QString& valueName, std::uint32_t bufferSize) override
    {
        QByteArray buffer(int(bufferSize), '\0');
        DWORD size = bufferSize;
        DWORD valueType = 0;
        const QByteArray name = valueName.toLocal8Bit();
        if (RegQueryValueExA(reinterpret_cast<HKEY>(key), name.constData(), nullptr, &valueType,
                             reinterpret_cast<LPBYTE>(buffer.data()), &size) != ERROR_SUCCESS)
            return std::nullopt;
        return Value{valueType, buffer.left(int(size))};
    }

    void closeKey(KeyHandle key) override
    {
        RegCloseKey(reinterpret_cast<HKEY>(key));
    }
#else
    std::optional<KeyHandle> openKey(std::uint32_t, const QString&, std::uint32_t) override
    {
        return std::nullopt;
    }
    std::optional<Value> queryValue(KeyHandle, const QString&, std::uint32_t) override
    {
        return std::nullopt;
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
