#include "settings/ColorValue.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/Golden.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void profileReads_data() { test::addTableRows(u"profile-reads.txt"_s); }
    void profileReads()
    {
        test::compareRow([](const QString& input) {
            const QStringList in = input.split(u" | "_s);
            return ProfileFile::fromBytes(in.at(0).toLatin1()).value(in.at(1), in.at(2));
        });
    }

    void profileWrites_data() { test::addTableRows(u"profile-writes.txt"_s); }
    void profileWrites()
    {
        test::compareRow([](const QString& input) {
            const QStringList in = input.split(u" | "_s);
            ProfileFile profile = ProfileFile::fromBytes(in.at(0).toLatin1());
            const QString refused = profile.setValue(in.at(1), in.at(2), in.at(3)) ? QString() : u"refused "_s;
            return refused + QString::fromLatin1(profile.toBytes());
        });
    }

    void profileSavesWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"config.ini"_s);
        ProfileFile profile;
        profile.setValue(u"Font"_s, u"Name"_s, u"A"_s);
        QVERIFY(profile.save(path));
        QCOMPARE(test::entries(dir.path()), QStringList{u"config.ini"_s}); // no temporary file left
        QCOMPARE(test::readBytes(path), "[Font]\r\nName=A\r\n"_ba);
        // Unchanged: nothing to write, even where nothing could be written.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(ProfileFile::load(path).save(path));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        profile.setValue(u"Font"_s, u"Name"_s, u"B"_s);
        const Result<void> saved = profile.save(path);
        QCOMPARE(saved ? QString() : saved.error(),
                 u"Die Datei „%1“ konnte nicht geschrieben werden: Die Datei ist schreibgeschützt."_s.arg(path));
        QCOMPARE(test::readBytes(path), "[Font]\r\nName=A\r\n"_ba);
    }

    // One key read from a file of its own and written back; the problems reading it.
    void keyValues_data() { test::addTableRows(u"setting-values.txt"_s); }
    void keyValues()
    {
        test::compareRow([](const QString& input) {
            const QString key = input.section(u'=', 0, 0);
            const bool font = QStringList{u"Size"_s, u"Bold"_s, u"Italic"_s, u"Color"_s, u"BackColor"_s}.contains(key);
            const QString section = font ? u"Font"_s : u"Export Option"_s;
            const LoadedSettings loaded =
                readSettings(ProfileFile::fromBytes(u"[%1]\r\n%2"_s.arg(section, input).toUtf8()));
            ProfileFile profile;
            writeSettings(profile, loaded.settings);
            QStringList told{key + u'=' + profile.value(section, key)};
            for (const SettingProblem& p : loaded.problems)
                told << u"[%1] %2 = „%3“: %4"_s.arg(p.section, p.key, p.text, p.reason);
            return told.join(u", "_s);
        });
    }

    // Zeros from a missing file; other lines kept; read back as written; rewriting changes nothing.
    void writtenFileReadsBack()
    {
        QTemporaryDir dir;
        const QString path = settingsPath(dir.path());
        const LoadedSettings zeros = readSettingsFile(path);
        QVERIFY(zeros.problems.isEmpty());
        QVERIFY(writeSettingsFile(path, zeros.settings));
        GLYFRAX_COMPARE_GOLDEN(test::readBytes(path), u"settings-of-zeros.ini"_s);
        const Settings settings{{u"DejaVu Sans Mono"_s, 12.0F, true, false, 16777215, 255},
                                {true, true, u"Zeichen"_s, u"€"_s, u"y"_s, QString(), u"h"_s, 3, 7}, {}};
        QVERIFY(test::writeBytes(path, "; my notes\r\n[Font]\r\nName=Old\r\nExtra=1\r\n"));
        QVERIFY(writeSettingsFile(path, settings));
        const QByteArray written = test::readBytes(path);
        GLYFRAX_COMPARE_GOLDEN(written, u"settings-rewritten.ini"_s);
        const LoadedSettings reread = readSettingsFile(path);
        QVERIFY(reread.problems.isEmpty());
        QCOMPARE(reread.settings, settings);
        QVERIFY(writeSettingsFile(path, reread.settings));
        QCOMPARE(test::readBytes(path), written);
    }

    void colours_data() { test::addTableRows(u"colours.txt"_s); }
    void colours()
    {
        test::compareRow([](const QString& input) {
            QPalette palette;
            palette.setColor(QPalette::Base, QColor(1, 2, 3));
            palette.setColor(QPalette::Text, QColor(4, 5, 6));
            const std::optional<std::int32_t> value = colorValueFromText(input);
            return value ? QString::number(*value) + u' ' + colorFromValue(*value, palette).name() : u"none"_s;
        });
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
