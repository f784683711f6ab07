#include "support/failure.h"

namespace quorvane::support {

std::string describe(int number) {
    switch (number) {
    case errors::kOverflow:
        return "Overflow";
    case errors::kTypeMismatch:
        return "Type mismatch";
    case errors::kBadFileName:
        return "Bad file name or number";
    case errors::kFileNotFound:
        return "File not found";
    case errors::kDeviceIoError:
        return "Device I/O error";
    case errors::kDiskFull:
        return "Disk full";
    case errors::kPermissionDenied:
        return "Permission denied";
    case errors::kPathFileAccessError:
        return "Path/File access error";
    case errors::kPathNotFound:
        return "Path not found";
    case errors::kFormAlreadyShown:
        return "Form already displayed; can't show modally";
    default:
        return "Application-defined error";
    }
}

Failure failure(int number) { return Failure{number, describe(number)}; }

RunTimeError::RunTimeError(Failure failure)
    : std::runtime_error(failure.description), m_failure(std::move(failure)) {}

void raise(int number) { throw RunTimeError(failure(number)); }

void raise(Failure failure) { throw RunTimeError(std::move(failure)); }

std::string errorText(const Failure& failure) {
    return "Error " + std::to_string(failure.number) + ": " + failure.description;
}

Trap Trap::logAndResume(Logger logger) {
    Trap trap(Form::LogAndResume);
    trap.m_logger = std::move(logger);
    return trap;
}

Trap Trap::errorText(std::string& text) {
    Trap trap(Form::ErrorText);
    trap.m_errorText = &text;
    return trap;
}

void Trap::handle(const Failure& failure) {
    // Switched off first: whatever happens from here on passes to the caller.
    m_armed = false;
    m_absorbed = failure;
    switch (m_form) {
    case Form::ResumeSilently:
        break;
    case Form::LogAndResume:
        if (m_logger) {
            m_logger(failure, m_label);
        }
        break;
    case Form::ErrorText:
        if (m_errorText != nullptr) {
            *m_errorText = support::errorText(failure);
        }
        break;
    }
}

} // namespace quorvane::support
