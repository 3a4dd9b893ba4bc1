#include "foundation/form_factory.h"

#include <memory>

#include "platform/core/filer.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TqelFormFactory)

namespace {
std::unique_ptr<TqelFormFactory>& FactoryInstance() {
    static std::unique_ptr<TqelFormFactory> instance;
    return instance;
}
} // namespace

bool TqelFormFactory::TLess::operator()(const std::string& a, const std::string& b) const {
    return CompareText(a, b) < 0;
}

TqelFormFactory::~TqelFormFactory() {
    FForms.clear();
}

void TqelFormFactory::RegisterForm(TClass formClass) {
    RegisterFormClass(formClass, formClass);
}

void TqelFormFactory::RegisterFormClass(TClass baseClass, TClass formClass) {
    if (!baseClass || !formClass) throw Exception("Form Factory error: a form class is expected");
    if (!formClass->InheritsFrom(baseClass))
        throw Exception("Form Factory error: " + formClass->Name + " does not inherit from " +
                        baseClass->Name);
    UnregisterFormClass(baseClass);
    RegisterClass(formClass);
    FForms[baseClass->Name] = formClass;
}

void TqelFormFactory::UnregisterFormClass(TClass baseClass) {
    if (!baseClass) return;
    auto it = FForms.find(baseClass->Name);
    if (it == FForms.end()) return;
    TClass cls = it->second;
    FForms.erase(it);
    UnRegisterClass(cls);
}

TClass TqelFormFactory::FindFormClass(TClass baseClass) const {
    if (!baseClass) return nullptr;
    auto it = FForms.find(baseClass->Name);
    return it == FForms.end() ? nullptr : it->second;
}

TCustomForm* TqelFormFactory::CreateForm(TClass baseClass, TComponent* owner) {
    TClass cls = FindFormClass(baseClass);
    if (!cls)
        throw Exception("Form Factory error: no form class is registered for " +
                        (baseClass ? baseClass->Name : std::string("(none)")));
    TComponent* c = CreateComponent(cls, owner);
    auto* form = dynamic_cast<TCustomForm*>(c);
    if (!form) {
        delete c;
        throw Exception("Form Factory error: " + cls->Name + " is not a form");
    }
    return form;
}

TqelFormFactory* FormFactory() {
    auto& instance = FactoryInstance();
    if (!instance) instance = std::make_unique<TqelFormFactory>();
    return instance.get();
}

} // namespace qel
