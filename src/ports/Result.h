// The one shape of an outcome in every layer: a value, or a message for the user saying what
// went wrong and where. Nothing is thrown.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace pellimor {

struct Failure {
    std::string message;
};

inline Failure Fail(std::string message) {
    return Failure{std::move(message)};
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

  private:
    std::variant<T, Failure> state_;
};

struct Done {};

// An outcome that carries no value.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Done) {}
    Status(Failure failure) : error_(std::move(failure.message)), ok_(false) {}

    // Done, with something the user should know about it (an entry deleted whose file stays).
    static Status DoneWithNote(std::string note) {
        Status status;
        status.note_ = std::move(note);
        return status;
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return error_; }
    // For an ok status, what the user should know besides; empty for most.
    const std::string& note() const { return note_; }

  private:
    std::string error_;
    std::string note_;
    bool ok_ = true;
};

}  // namespace pellimor
