#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace glyfrax {

// What starting the system-information tool needs from the operating system: the registry,
// a file test and starting a program. Windows has the real registry; elsewhere every lookup
// fails, so the tool is reported as unavailable.
class SystemAccess
{
public:
    using KeyHandle = std::uintptr_t;

    virtual ~SystemAccess() = default;

    // A registry value: its type and as many bytes as the registry returned.
    struct Value
    {
        std::uint32_t type = 0;
        QByteArray data;
    };

    virtual std::optional<KeyHandle> openKey(std::uint32_t root, const QString& keyName, std::uint32_t access) = 0;
    // Reads a value into a buffer of bufferSize bytes.
    virtual std::optional<Value> queryValue(KeyHandle key, const QString& valueName, std::uint32_t bufferSize) = 0;
    virtual void closeKey(KeyHandle key) = 0;
    // An ordinary file: not a folder, not hidden, not a system file.
    virtual bool isOrdinaryFile(const QString& path) = 0;
    // Starts a program in a normal, focused window, without waiting for it.
    virtual bool startProgram(const QString& path) = 0;
};

// The operating system's own access.
std::unique_ptr<SystemAccess> makeSystemAccess();

constexpr std::uint32_t kHKeyLocalMachine = 0x80000002U;
constexpr std::uint32_t kKeyAccessMask = 0x2003FU;
constexpr std::uint32_t kValueBufferSize = 1024;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDword = 4;

// Reads one registry value as text: a text value without its terminating zero, a 32-bit number
// as "&h" and upper-case hex digits, another type as the empty text. Nothing when the key cannot
// be opened or the value not read.
std::optional<QString> readKeyValue(SystemAccess& system, std::uint32_t keyRoot, const QString& keyName,
                                    const QString& valueName);

enum class SysInfoResult
{
    Started,
    Unavailable
};

// Finds the system-information tool through the registry and starts it.
SysInfoResult startSystemInformation(SystemAccess& system);

} // namespace glyfrax
