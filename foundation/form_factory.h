#pragma once
// The form factory: a process-wide registry mapping a dialog's base class name to the class actually
// instantiated, so an application can substitute its own descendant of any library dialog.
//
//   FormFactory()->RegisterForm(TqelsfSplash::StaticClass());            // in the dialog's unit
//   FormFactory()->RegisterFormClass(TqelsfSplash::StaticClass(), TMySplash::StaticClass());
//   auto* f = FormFactory()->CreateForm(TqelsfSplash::StaticClass(), owner); // a TMySplash
#include <map>
#include <string>

#include "platform/controls/forms.h"
#include "platform/core/strutils.h"

namespace qel {

class TqelFormFactory : public TObject {
    QEL_CLASS(TqelFormFactory, TObject)
    TqelFormFactory() = default;
    ~TqelFormFactory() override;

    // Registers a form class as its own base.
    void RegisterForm(TClass formClass);
    // Registers `formClass` for `baseClass`, replacing an earlier registration. Raises Exception
    // ("Form Factory error: TX does not inherit from TY") when it is not a descendant.
    void RegisterFormClass(TClass baseClass, TClass formClass);
    void UnregisterFormClass(TClass baseClass);
    // The class registered under the base class's name (case-insensitive), or nullptr.
    TClass FindFormClass(TClass baseClass) const;
    // Creates (constructs and streams) the registered class with `owner`. Raises Exception ("Form
    // Factory error: no form class is registered for TY") when none is, so a caller never receives
    // a missing dialog.
    TCustomForm* CreateForm(TClass baseClass, TComponent* owner);
    int Count() const { return static_cast<int>(FForms.size()); }

private:
    struct TLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    std::map<std::string, TClass, TLess> FForms;
};

// The one factory, created on first use and freed at program end.
TqelFormFactory* FormFactory();

} // namespace qel
