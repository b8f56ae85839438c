// How everything that can fail says so. A Failure carries the reason as a person reads
// it (a sentence of the program's own, or the system's text of an error) and a code
// for callers that act on the kind of failure: the system's error number where a
// system call failed, else one of the program's own codes below. Result<T> holds what
// a call gives or its Failure, as std::expected does (which GCC's library has only
// from C++23); Result<> holds only whether the call worked.
//
//   Result<std::string> readName(const std::string& path);
//   if (const auto name = readName(path)) use(*name);
//   else tell(name.failure().reason);
//
//   Result<> save(...) {
//       if (::rename(...) != 0) return Failure::system(errno);
//       return {};
//   }
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vantrel {

// The system's text for an error number ("No space left on device"); empty for 0.
inline std::string errorText(int error) {
    if (error == 0) return {};
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? text : std::string();
}

struct Failure {
    // The codes of failures that no system call reports. They lie above the system's
    // error numbers (Linux's all stay below 4096), so that one int holds either.
    enum Code : int {
        declined = 4096,  // the program will not: the calculator runs, the file is another's
        badInput,         // what was given is not what it must be: a file's data, an argument
    };

    int code = declined;
    std::string reason;

    // A system call's failure; the reason is the system's text unless one is given.
    static Failure system(int error) { return {error, errorText(error)}; }
    static Failure system(int error, std::string reason) { return {error, std::move(reason)}; }
    static Failure decline(std::string reason) { return {declined, std::move(reason)}; }
    static Failure badData(std::string reason) { return {badInput, std::move(reason)}; }

    bool operator==(const Failure&) const = default;
};

// What a call gives, or why it gave nothing. Reading the value of a failure, or the
// failure of a value, throws std::bad_variant_access.
template <class T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Failure& failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

// Whether a call worked, and why not. Success is the default: `return {};`.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return !failure_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Throws std::bad_optional_access on success.
    const Failure& failure() const { return failure_.value(); }

private:
    std::optional<Failure> failure_;
};

}  // namespace vantrel
