#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace glyfrax {

// A secret of the user's own (32 random bytes in a file only the user may read, in the user's data
// folder), with which the files that replace a set mark themselves: a journal and a temporary name
// can then be told from one that somebody else put into a folder, who cannot know the secret.
class WriterKey
{
public:
    // The user's key, made on first use. Nothing where the user's data folder cannot hold one (no
    // home, a home of another user) or where the file found there may be known to others.
    static std::optional<WriterKey> load();
    // A key of the given bytes, for tests.
    explicit WriterKey(QByteArray secret) : m_secret(std::move(secret)) {}

    // The mark of text, as lower-case hexadecimal digits (at most 64).
    QByteArray mark(QByteArrayView text, qsizetype digits = 64) const;

private:
    QByteArray m_secret;
};

} // namespace glyfrax
