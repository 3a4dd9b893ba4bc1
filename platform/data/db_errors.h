#pragma once
// Errors of the data layer: every database failure is an EDatabaseError (or a descendant).
#include <string>

#include "platform/core/exceptions.h"

namespace qel {

QEL_DECLARE_EXCEPTION(EDatabaseError, Exception);

// A failure reported by the database engine, with the engine's numeric error code.
class EDBEngineError : public EDatabaseError {
public:
    EDBEngineError(std::string message, int errorCode)
        : EDatabaseError(std::move(message)), FErrorCode(errorCode) {}
    explicit EDBEngineError(std::string message) : EDBEngineError(std::move(message), 0) {}
    int ErrorCode() const noexcept { return FErrorCode; }
    const char* ClassName() const noexcept override { return "EDBEngineError"; }

private:
    int FErrorCode;
};

// Raises EDatabaseError with `message`; when `component` names something, the message is prefixed
// with "<name>: " as the platform does.
[[noreturn]] void DatabaseError(const std::string& message, const std::string& componentName = {});

} // namespace qel
