#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace quorvane::support {

// Numbers of the program's run-time failures; each comes with a one-line description.
namespace errors {
inline constexpr int kOverflow = 6;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDiskFull = 61;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kFormAlreadyShown = 400;
} // namespace errors

// A run-time failure: its number and a one-line description.
struct Failure {
    int number = 0;
    std::string description;

    bool operator==(const Failure&) const = default;
};

// The catalogue's description of `number` ("Application-defined error" for unknown numbers).
std::string describe(int number);

// The failure `number` with the catalogue's description.
Failure failure(int number);

// The exception that carries a failure up the call chain until a trap takes it.
class RunTimeError : public std::runtime_error {
public:
    explicit RunTimeError(Failure failure);

    const Failure& failure() const noexcept { return m_failure; }

private:
    Failure m_failure;
};

// Raises the failure `number` with the catalogue's description.
[[noreturn]] void raise(int number);
// Raises `failure` as it is.
[[noreturn]] void raise(Failure failure);

// "Error " + number + ": " + description, the error-text form of a failure.
std::string errorText(const Failure& failure);

// The error trap of a procedure that handles its own failures. It is armed when made; the
// first failure of a statement run through it is handled by the trap's form and switches the
// trap off, so any later failure in the same call passes to the caller.
class Trap {
public:
    enum class Form { ResumeSilently, LogAndResume, ErrorText };

    // Receives the failure and the label of the statement that failed.
    using Logger = std::function<void(const Failure&, int label)>;

    // Goes on with the next statement after the first failure.
    static Trap resumeSilently() { return Trap(Form::ResumeSilently); }
    // Logs the first failure, then goes on with the next statement. A failure of the logger
    // itself passes to the caller.
    static Trap logAndResume(Logger logger);
    // Writes "Error N: description" of the first failure into `text` and leaves the procedure.
    static Trap errorText(std::string& text);

    // Runs one statement under the trap. True when it completed; false when its failure was
    // absorbed (with error text the procedure must then return).
    template <class Statement>
    bool run(int label, Statement&& statement) {
        m_label = label;
        if (!m_armed) {
            std::forward<Statement>(statement)();
            return true;
        }
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const RunTimeError& error) {
            handle(error.failure());
            return false;
        }
    }

    template <class Statement>
    bool run(Statement&& statement) {
        return run(m_label, std::forward<Statement>(statement));
    }

    Form form() const { return m_form; }
    bool armed() const { return m_armed; }
    // The label of the last statement run through the trap (0 before any).
    int label() const { return m_label; }
    // The failure that the trap absorbed, if any.
    const Failure* absorbed() const { return m_armed ? nullptr : &m_absorbed; }

private:
    explicit Trap(Form form) : m_form(form) {}
    void handle(const Failure& failure);

    Form m_form;
    bool m_armed = true;
    int m_label = 0;
    Failure m_absorbed;
    Logger m_logger;
    std::string* m_errorText = nullptr;
};

} // namespace quorvane::support
