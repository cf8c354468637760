#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// Why something did not work: a kind for the code to decide on, and words a user may be shown
// (the system's own where it gave some; empty where no one is ever told).
struct Failure {
    enum class Kind {
        NotFound,         // no such file or folder
        NotAFolder,       // a folder was asked for, and the path names a file
        IsAFolder,        // a file was asked for, and the path names a folder
        PermissionDenied, // there, but not ours to read
        Unreadable,       // an I/O error, or a file the reader could not take in
        NotAPicture,      // read whole, but no format we can decode
        Malformed,        // the right format, broken or truncated
        TooLarge,         // a size beyond what the program takes
        Cancelled,        // the user chose nothing
        Other,            // any other failure the system reported
    };

    Kind kind { Kind::Other };
    QString description;
};

// A value, or the failure that stands in its place. The only shape in which a failure crosses
// from one subsystem to another, so no caller has to ask what an empty value meant.
template<typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) { }
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) { }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Asking a failure for its value, or a value for its failure, throws std::bad_variant_access.
    T& value() & { return std::get<0>(m_state); }
    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const Failure& failure() const { return std::get<1>(m_state); }
    Failure::Kind kind() const { return failure().kind; }

    T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }
    T valueOr(T fallback) && { return ok() ? std::move(*this).value() : std::move(fallback); }

private:
    std::variant<T, Failure> m_state;
};

template<>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) { }

    bool ok() const { return !m_failure.has_value(); }
    explicit operator bool() const { return ok(); }

    const Failure& failure() const { return m_failure.value(); }
    Failure::Kind kind() const { return failure().kind; }

private:
    std::optional<Failure> m_failure;
};
