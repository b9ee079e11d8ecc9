// Arbitrary bytes as a settings file: read as at start-up, the fifteen keys written back and
// read again. Nothing may crash, and the second reading gives what was written.
#include "FuzzInput.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"

using namespace glyfrax;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ProfileFile profile = ProfileFile::fromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const LoadedSettings first = readSettings(profile);
    for (const SettingProblem& problem : first.problems)
        FUZZ_REQUIRE(!problem.reason.isEmpty() && !problem.key.isEmpty());
    writeSettings(profile, first.settings);
    ProfileFile alone;
    writeSettings(alone, first.settings);
    const ProfileFile reread = ProfileFile::fromBytes(profile.toBytes());
    const ProfileFile aloneReread = ProfileFile::fromBytes(alone.toBytes());
    // Whatever else the file held, each key reads back as the text written for it.
    for (const auto& [section, key] : aloneReread.keyNames())
        FUZZ_REQUIRE(reread.value(section, key) == aloneReread.value(section, key));
    const LoadedSettings second = readSettings(reread);
    FUZZ_REQUIRE(second.problems.isEmpty());
    FUZZ_REQUIRE(second.settings == readSettings(aloneReread).settings);
    return 0;
}
