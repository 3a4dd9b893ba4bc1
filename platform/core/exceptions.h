#pragma once
// The platform's exception kinds. Every error QEL reports is one of these (or a subsystem's own
// descendant), carrying a fixed English message.
#include <exception>
#include <string>

namespace qel {

class Exception : public std::exception {
public:
    explicit Exception(std::string message = {}, int helpContext = 0)
        : FMessage(std::move(message)), FHelpContext(helpContext) {}
    const std::string& Message() const noexcept { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    int HelpContext() const noexcept { return FHelpContext; }
    const char* what() const noexcept override { return FMessage.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string FMessage;
    int FHelpContext;
};

#define QEL_DECLARE_EXCEPTION(Name, Base)                                                                   \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
        const char* ClassName() const noexcept override { return #Name; }                                    \
    }

// Silent exception: unwinds without a message box (Application.HandleException ignores it).
QEL_DECLARE_EXCEPTION(EAbort, Exception);
QEL_DECLARE_EXCEPTION(EInvalidOperation, Exception);
QEL_DECLARE_EXCEPTION(EListError, Exception);
QEL_DECLARE_EXCEPTION(EStringListError, EListError);
QEL_DECLARE_EXCEPTION(EConvertError, Exception);
QEL_DECLARE_EXCEPTION(EStreamError, Exception);
QEL_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
QEL_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
QEL_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
QEL_DECLARE_EXCEPTION(EFilerError, EStreamError);
QEL_DECLARE_EXCEPTION(EReadError, EFilerError);
QEL_DECLARE_EXCEPTION(EWriteError, EFilerError);
QEL_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
QEL_DECLARE_EXCEPTION(EMethodNotFound, EFilerError);
QEL_DECLARE_EXCEPTION(EInvalidImage, EFilerError);
QEL_DECLARE_EXCEPTION(EResNotFound, Exception);
QEL_DECLARE_EXCEPTION(EComponentError, Exception);
QEL_DECLARE_EXCEPTION(EPropertyError, Exception);
QEL_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
QEL_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
QEL_DECLARE_EXCEPTION(EOutOfResources, Exception);
QEL_DECLARE_EXCEPTION(EOSError, Exception);
QEL_DECLARE_EXCEPTION(EInvalidPointer, Exception);
QEL_DECLARE_EXCEPTION(EInvalidCast, Exception);
QEL_DECLARE_EXCEPTION(ERangeError, Exception);
QEL_DECLARE_EXCEPTION(EIntOverflow, Exception);
QEL_DECLARE_EXCEPTION(EZeroDivide, Exception);
QEL_DECLARE_EXCEPTION(EThread, Exception);
QEL_DECLARE_EXCEPTION(EIniFileException, Exception);
QEL_DECLARE_EXCEPTION(ERegistryException, Exception);

// Raises EAbort ("Operation aborted").
[[noreturn]] void Abort();

} // namespace qel
