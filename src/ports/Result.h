// The one shape of an outcome in every layer: a value, or a message for the user saying what
// went wrong and where. Nothing is thrown.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace pellimor {

// What went wrong, where a caller must tell one failure from another; most are kOther.
enum class FailureKind {
    kOther,
    kTargetExists,  // the name is taken: nothing was replaced
    kTargetFolder,  // the target's folder cannot take files (missing, not writable, full)
};

struct Failure {
    std::string message;
    FailureKind kind = FailureKind::kOther;
};

inline Failure Fail(std::string message, FailureKind kind = FailureKind::kOther) {
    return Failure{std::move(message), kind};
}

template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // Empty when ok.
    const std::string& error() const {
        static const std::string none;
        return ok() ? none : std::get<1>(state_).message;
    }
    FailureKind kind() const { return ok() ? FailureKind::kOther : std::get<1>(state_).kind; }
    // Only when not ok: the failure, to hand on as it is.
    const Failure& failure() const { return std::get<1>(state_); }

  private:
    std::variant<T, Failure> state_;
};

struct Done {};

// An outcome that carries no value.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Done) {}
    Status(Failure failure) : failure_(std::move(failure)), ok_(false) {}

    // Done, with something the user should know about it (an entry deleted whose file stays).
    static Status DoneWithNote(std::string note) {
        Status status;
        status.note_ = std::move(note);
        return status;
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return failure_.message; }
    FailureKind kind() const { return failure_.kind; }
    // Only when not ok: the failure, to hand on as it is.
    const Failure& failure() const { return failure_; }
    // Nothing, so that PELLIMOR_TRY takes a Status as it takes a Result.
    void value() && {}
    // For an ok status, what the user should know besides; empty for most.
    const std::string& note() const { return note_; }

  private:
    Failure failure_;
    std::string note_;
    bool ok_ = true;
};

}  // namespace pellimor

// The value of a Result, or a return of its failure from the calling function (which returns
// a Result or a Status): hands a failure on without restating it. A statement expression
// (GCC and Clang).
#define PELLIMOR_TRY(expr)                   \
    ({                                       \
        auto pellimorTried_ = (expr);        \
        if (!pellimorTried_.ok()) {          \
            return pellimorTried_.failure(); \
        }                                    \
        std::move(pellimorTried_).value();   \
    })
