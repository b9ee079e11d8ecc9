#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace glyfrax {

// What starting the system-information tool needs from the operating system: the registry,
// a file test and starting a program. Windows has the real registry; elsewhere every lookup
// fails, so the tool is reported as unavailable.
class SystemAccess
{
public:
    using KeyHandle = std::uintptr_t;

    virtual ~SystemAccess() = default;

    virtual bool openKey(std::uint32_t root, const QString& keyName, std::uint32_t access, KeyHandle& key) = 0;
    // Reads a value into a buffer of bufferSize bytes: its type and as many bytes as it returned.
    virtual bool queryValue(KeyHandle key, const QString& valueName, std::uint32_t bufferSize, std::uint32_t& type,
                            QByteArray& data) = 0;
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

// Reads one registry value as text into keyVal: a text value without its terminating zero, a
// 32-bit number as "&h" and upper-case hex digits; another type leaves keyVal as it was. Returns
// false, with keyVal empty, when the key cannot be opened or the value not read.
bool GetKeyValue(SystemAccess& system, std::uint32_t keyRoot, const QString& keyName, const QString& subKeyRef,
                 QString& keyVal);

enum class SysInfoResult
{
    Started,
    Unavailable
};

// Finds the system-information tool through the registry and starts it.
SysInfoResult StartSysInfo(SystemAccess& system);

} // namespace glyfrax
