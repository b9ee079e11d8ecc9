#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace glyfrax {

// Why something failed: one German message, complete enough to show to the user as it is.
struct Failure
{
    QString message;
};

inline Failure failure(QString message)
{
    return Failure{std::move(message)};
}

// The value a function made, or why it could not make it. Shaped like std::expected<T, QString>,
// which clang 14 (our fuzzing compiler) cannot compile yet; swapping it in later changes no caller.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure.message)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const QString& error() const { return std::get<1>(m_state); }

private:
    std::variant<T, QString> m_state;
};

// Success without a value, or why it failed.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_error(std::move(failure.message)) {}

    bool has_value() const { return !m_error.has_value(); }
    explicit operator bool() const { return has_value(); }
    const QString& error() const { return *m_error; }

private:
    std::optional<QString> m_error;
};

} // namespace glyfrax
