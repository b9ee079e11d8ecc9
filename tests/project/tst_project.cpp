// Projects: the file's sets and their inheritance, incremental builds by stamp, scales, and what a
// project must never do to files that are not its own.

#include "project/ProjectBuild.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

const QString kSansFile = u"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"_s;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using State = TargetOutcome::State;

QList<State> statesOf(const std::vector<TargetOutcome>& outcomes)
{
    QList<State> states;
    for (const TargetOutcome& outcome : outcomes)
        states.append(outcome.state);
    return states;
}

} // namespace

class TestProject : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A project of two sets of one font, the first at two scales.
    void writeProject(const QByteArray& extra = {})
    {
        writeFile(path(u"fonts.ini"_s), "[defaults]\n"
                                        "FontFile=fonts/sans.ttf\n"
                                        "Chars=32-126\n"
                                        "Pixels=20\n"
                                        "\n"
                                        "[ui]\n"
                                        "Output=out/ui.png\n"
                                        "Scales=1,2\n"
                                        "\n"
                                        "[small]\n"
                                        "Output=out/small.png\n"
                                        "Size=9\n" +
                                            extra);
    }

    std::vector<TargetOutcome> build(bool force = false, bool dryRun = false)
    {
        const Result<Project> project = readProject(path(u"fonts.ini"_s));
        if (!project)
            qWarning() << project.error();
        ProjectRun run;
        run.force = force;
        run.dryRun = dryRun;
        run.threads = 2;
        return project ? buildProject(*project, run) : std::vector<TargetOutcome>{};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(u"fonts"_s));
        QVERIFY(QDir(m_dir.path()).mkpath(u"out"_s));
        QVERIFY(QFile::copy(kSansFile, path(u"fonts/sans.ttf"_s)));
    }

    // What each set inherits and what it says for itself; a wrong line fails its set alone, naming
    // file, line and key.
    void setsInheritAndFailAlone()
    {
        writeProject(
            "Font=DejaVu Sans\n\n[bad]\nOutput=out/bad.png\nPaddin=3\n\n[worse]\nOutput=out/worse.png\nPadding=x\n");
        const Result<Project> project = readProject(path(u"fonts.ini"_s));
        if (!project)
            QFAIL(qPrintable(project.error()));
        QCOMPARE(project->sets.size(), 4U);
        const ProjectSet& ui = project->sets[0];
        QCOMPARE(ui.fontFile, path(u"fonts/sans.ttf"_s));
        QCOMPARE(ui.imagePath, path(u"out/ui.png"_s));
        QCOMPARE(ui.settings.bmfont.pixels, 20);
        QCOMPARE(ui.scales, (std::vector<double>{1.0, 2.0}));
        QVERIFY(ui.problem.isEmpty());
        // A size of its own replaces the defaults' size in pixels, whatever kind each is.
        QCOMPARE(project->sets[1].settings.bmfont.pixels, 0);
        QCOMPARE(project->sets[1].settings.font.size, 9.0F);
        // So does a font of its own the defaults' font file.
        QCOMPARE(project->sets[1].fontFile, QString());
        QCOMPARE(project->sets[1].settings.font.face, u"DejaVu Sans"_s);
        QCOMPARE(project->sets[2].problem, u"fonts.ini, Zeile 17: Unbekannter Schlüssel „Paddin“ in [bad]."_s);
        QVERIFY2(project->sets[3].problem.startsWith(u"fonts.ini, Zeile 21: Padding = „x“ in [worse]: "_s),
                 qPrintable(project->sets[3].problem));

        const std::vector<ProjectTarget> targets = projectTargets(*project);
        QCOMPARE(targets.size(), 5U); // ui, ui@2x, small, and each failing set once
        QCOMPARE(targets[1].name, u"ui@2x"_s);
        QCOMPARE(targets[1].imagePath, path(u"out/ui@2x.png"_s));
        QCOMPARE(targets[1].settings.bmfont.pixels, 40);
        QCOMPARE(targets[1].settings.bmfont.padding.up, 2);
    }

    void wholeFileFaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::addRow("no set") << QByteArray("[defaults]\nPixels=3\n") << u"nennt keinen Satz"_s;
        QTest::addRow("key before any section") << QByteArray("Pixels=3\n[a]\n") << u"Zeile 1: Vor dem ersten"_s;
        QTest::addRow("not UTF-8") << QByteArray("[a]\nFont=Caf\xe9\n") << u"kein UTF-8-Text"_s;
        QTest::addRow("defaults twice") << QByteArray("[defaults]\n[a]\n[Defaults]\n") << u"Zeile 3: [defaults]"_s;
    }
    void wholeFileFaults()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        writeFile(path(u"bad.ini"_s), content);
        const Result<Project> project = readProject(path(u"bad.ini"_s));
        QVERIFY(!project);
        QVERIFY2(project.error().contains(message), qPrintable(project.error()));
    }

    void scalesAreChecked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addRow("two") << u"1,2"_s << true;
        QTest::addRow("fraction") << u"1, 1.5, 3"_s << true;
        QTest::addRow("zero") << u"0,1"_s << false;
        QTest::addRow("twice") << u"2,2"_s << false;
        QTest::addRow("huge") << u"1,100"_s << false;
        QTest::addRow("word") << u"zwei"_s << false;
    }
    void scalesAreChecked()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(bool(scalesFromText(text)), valid);
    }

    // The second build changes nothing; a changed input, a changed set's file, a changed setting
    // each rebuild exactly the targets they concern.
    void buildsOnlyWhatChanged()
    {
        writeProject();
        QCOMPARE(statesOf(build()), (QList<State>{State::Built, State::Built, State::Built}));
        const QByteArray page = readAll(path(u"out/ui@2x.png"_s));
        QVERIFY(!page.isEmpty());
        QCOMPARE(statesOf(build()), (QList<State>{State::Current, State::Current, State::Current}));

        // A set's page altered on disk: that set alone is built again, and its page comes back.
        writeFile(path(u"out/ui@2x.png"_s), "scribbled");
        std::vector<TargetOutcome> outcomes = build();
        QCOMPARE(statesOf(outcomes), (QList<State>{State::Current, State::Built, State::Current}));
        QVERIFY(outcomes[1].reason.startsWith(u"Datei des Satzes geändert"_s));
        QCOMPARE(readAll(path(u"out/ui@2x.png"_s)), page);

        // A setting of one set.
        writeProject("Padding=2\n");
        QCOMPARE(statesOf(build()), (QList<State>{State::Current, State::Current, State::Built}));

        // A dry run names what it would build and writes nothing; --force builds everything.
        const QByteArray stamp = readAll(path(u"out/small.fnt.stamp"_s));
        outcomes = build(true, true);
        QCOMPARE(statesOf(outcomes), (QList<State>{State::Planned, State::Planned, State::Planned}));
        QCOMPARE(readAll(path(u"out/small.fnt.stamp"_s)), stamp);
        QCOMPARE(statesOf(build(true)), (QList<State>{State::Built, State::Built, State::Built}));

        // The small set's icons, by path from the project's folder: one changed, one more, one gone.
        QVERIFY(QDir(m_dir.path()).mkpath(u"icons"_s));
        writeFile(path(u"icons/E000.svg"_s), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 4 4'/>");
        writeProject("Padding=2\nImageFolder=icons\n");
        QCOMPARE(statesOf(build()), (QList<State>{State::Current, State::Current, State::Built}));
        writeFile(path(u"icons/E000.svg"_s), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 4 5'/>");
        outcomes = build();
        QCOMPARE(statesOf(outcomes), (QList<State>{State::Current, State::Current, State::Built}));
        QVERIFY2(outcomes[2].reason.contains(u"E000.svg"_s), qPrintable(outcomes[2].reason));
        writeFile(path(u"icons/E001.svg"_s), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 4 4'/>");
        QCOMPARE(statesOf(build()), (QList<State>{State::Current, State::Current, State::Built}));
        QVERIFY(QFile::remove(path(u"icons/E000.svg"_s)));
        outcomes = build();
        QCOMPARE(statesOf(outcomes), (QList<State>{State::Current, State::Current, State::Built}));
        QVERIFY2(outcomes[2].reason.contains(u"E000.svg"_s), qPrintable(outcomes[2].reason));

        // The font's bytes: every set of that font.
        QFile font(path(u"fonts/sans.ttf"_s));
        QVERIFY(font.open(QIODevice::Append));
        font.write("\0", 1);
        font.close();
        QCOMPARE(statesOf(build()), (QList<State>{State::Built, State::Built, State::Built}));
    }

    // A file at a stamp's name that is not our stamp (the user's notes, a link planted by someone
    // else) is neither replaced nor written through, and the set's files stay as they were.
    void foreignStampIsNeverReplaced_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addRow("file") << false;
        QTest::addRow("link") << true;
    }
    void foreignStampIsNeverReplaced()
    {
        QFETCH(bool, link);
        QTemporaryDir dir;
        writeFile(dir.filePath(u"p.ini"_s), "[a]\nOutput=a.png\nFontFile=" + kSansFile.toUtf8() + "\nPixels=12\n");
        const QString victim = dir.filePath(u"victim.txt"_s);
        writeFile(victim, "not a stamp\n");
        if (link)
            QVERIFY(QFile::link(victim, dir.filePath(u"a.fnt.stamp"_s)));
        else
            QVERIFY(QFile::copy(victim, dir.filePath(u"a.fnt.stamp"_s)));
        const Result<Project> project = readProject(dir.filePath(u"p.ini"_s));
        QVERIFY(project);
        const std::vector<TargetOutcome> outcomes = buildProject(*project, ProjectRun{});
        QCOMPARE(statesOf(outcomes), QList<State>{State::Failed});
        QVERIFY2(outcomes[0].message.contains(u"keine Stempeldatei"_s), qPrintable(outcomes[0].message));
        QCOMPARE(readAll(victim), QByteArray("not a stamp\n"));
        QCOMPARE(readAll(dir.filePath(u"a.fnt.stamp"_s)), QByteArray("not a stamp\n"));
        QVERIFY(!QFile::exists(dir.filePath(u"a.fnt"_s)));
    }

    // A link planted where a page goes is not written through: neither to another file in the
    // folder nor to the project file itself.
    void noWritingThroughLinks_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addRow("another file") << u"victim.txt"_s;
        QTest::addRow("the project file") << u"p.ini"_s;
    }
    void noWritingThroughLinks()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        writeFile(dir.filePath(u"p.ini"_s), "[a]\nOutput=a.png\nFontFile=" + kSansFile.toUtf8() + "\nPixels=12\n");
        writeFile(dir.filePath(u"victim.txt"_s), "mine\n");
        QVERIFY(QFile::link(dir.filePath(target), dir.filePath(u"a.png"_s)));
        const QByteArray before = readAll(dir.filePath(target));
        const Result<Project> project = readProject(dir.filePath(u"p.ini"_s));
        QVERIFY(project);
        const std::vector<TargetOutcome> outcomes = buildProject(*project, ProjectRun{});
        QCOMPARE(statesOf(outcomes), QList<State>{State::Failed});
        QCOMPARE(readAll(dir.filePath(target)), before);
    }

    // Sets whose files could meet (one name, a page's name, the folder through a link): the later
    // ones are refused, not mixed with the first.
    void oneWriterPerSet()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::link(dir.path(), dir.filePath(u"same"_s)));
        writeFile(dir.filePath(u"p.ini"_s), "[defaults]\nFontFile=" + kSansFile.toUtf8() +
                                                "\nPixels=12\n[a]\nOutput=x.png\n[b]\nOutput=./x.fnt\n"
                                                "[c]\nOutput=x_0.png\n[d]\nOutput=same/x.png\n[e]\nOutput=x_a.png\n");
        const Result<Project> project = readProject(dir.filePath(u"p.ini"_s));
        QVERIFY(project);
        const std::vector<TargetOutcome> outcomes = buildProject(*project, ProjectRun{});
        QCOMPARE(statesOf(outcomes),
                 (QList<State>{State::Built, State::Failed, State::Failed, State::Failed, State::Built}));
        for (const int other : {1, 2, 3})
            QVERIFY2(outcomes[std::size_t(other)].message.contains(u"gleichen Namens wie [a]"_s),
                     qPrintable(outcomes[std::size_t(other)].message));
    }

    // A project file from elsewhere cannot make a build write outside its folder, by a path or by
    // a link on the way.
    void writesOnlyBelowItsFolder_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addRow("up") << QByteArray("../x.png");
        QTest::addRow("up and back") << QByteArray("in/../../x.png");
        QTest::addRow("absolute") << QByteArray("/tmp/x.png");
        QTest::addRow("through a link") << QByteArray("away/x.png");
    }
    void writesOnlyBelowItsFolder()
    {
        QFETCH(QByteArray, output);
        QTemporaryDir outside;
        QVERIFY(QFile::link(outside.path(), path(u"away"_s)) || QFileInfo(path(u"away"_s)).isSymLink());
        writeFile(path(u"far.ini"_s), "[far]\nFontFile=fonts/sans.ttf\nPixels=12\nOutput=" + output + "\n");
        const Result<Project> project = readProject(path(u"far.ini"_s));
        QVERIFY(project);
        QVERIFY2(project->sets[0].problem.contains(u"außerhalb des Ordners der Projektdatei"_s),
                 qPrintable(project->sets[0].problem));
        QFile::remove(path(u"away"_s));
    }

    void depfileEscapesForMake()
    {
        QCOMPARE(depfileRule({u"/a b/x.fnt"_s, u"/c/x$1#.png"_s}, {u"/f/s.ttf"_s}),
                 u"/a\\ b/x.fnt /c/x$$1\\#.png: /f/s.ttf\n"_s);
    }
};

QTEST_MAIN(TestProject)
#include "tst_project.moc"
