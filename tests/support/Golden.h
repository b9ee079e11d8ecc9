#pragma once

#include "support/TempFolder.h"

#include <QCryptographicHash>
#include <QTest>

namespace glyfrax::test {

inline QString dataPath(const QString& name)
{
    return QStringLiteral(GLYFRAX_TEST_DATA "/") + name;
}

// What tests/data/<name> holds for these bytes: the bytes, or their SHA-256 for a name ending in
// ".sha256". On a mismatch the bytes are left beside it as <name>.actual (without ".sha256");
// GLYFRAX_UPDATE_GOLDEN=1 makes them the golden file instead.
inline std::pair<QByteArray, QByteArray> goldenPair(const QString& name, const QByteArray& bytes)
{
    const bool hashed = name.endsWith(QStringLiteral(".sha256"));
    const QByteArray actual = hashed ? QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() : bytes;
    if (qEnvironmentVariableIntValue("GLYFRAX_UPDATE_GOLDEN") == 1)
        writeBytes(dataPath(name), actual);
    const QByteArray expected = readBytes(dataPath(name));
    if (expected != actual)
        writeBytes(dataPath(hashed ? name.chopped(7) : name) + QStringLiteral(".actual"), bytes);
    return {actual, expected};
}

// Text with the escapes \r \n \t \0 and \xHH; a backslash before any other character stands for it.
inline QString unescape(const QString& text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i) == u'\\' && i + 1 < text.size() ? text.at(++i) : QChar();
        if (c == u'x')
            plain += QChar(text.mid((i += 2) - 1, 2).toUShort(nullptr, 16));
        else
            plain += c == u'r' ? u'\r' : c == u'n' ? u'\n' : c == u't' ? u'\t' : c == u'0' ? u'\0' : text.at(i);
    }
    return plain;
}

// The rows of the table tests/data/<name>: one case a line, "input => expected", escaped and
// named by its line. Lines without " =>" are comments.
inline void addTableRows(const QString& name)
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    if (!QFileInfo::exists(dataPath(name)))
        qFatal("The table %s is missing.", qPrintable(name));
    for (const QString& line : QString::fromUtf8(readBytes(dataPath(name))).split(u'\n')) {
        if (const qsizetype arrow = line.indexOf(QStringLiteral(" =>")); arrow >= 0)
            QTest::newRow(qPrintable(line)) << unescape(line.left(arrow)) << unescape(line.mid(arrow + 3).trimmed());
    }
}

// Compares what describe makes of the current row's input with its expected text.
template <typename Describe> void compareRow(Describe describe)
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(describe(input), expected);
}

} // namespace glyfrax::test

// Compares the whole of a file's bytes with its golden file.
#define GLYFRAX_COMPARE_GOLDEN(bytes, name)                                                                            \
    do {                                                                                                               \
        const auto [actual_, golden_] = glyfrax::test::goldenPair(name, bytes);                                        \
        QCOMPARE(actual_, golden_);                                                                                    \
    } while (false)
