#include "platform/core/component.h"

#include <algorithm>

#include "platform/core/strutils.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TPersistent)
QEL_IMPLEMENT_CLASS(TComponent, [](auto& c) {
    c.Property("Name", &TComponent::GetName, &TComponent::SetName).Stored(false);
    c.Property("Tag", &TComponent::GetTag, &TComponent::SetTag).Default(0);
})

void TPersistent::Assign(TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + (dest ? dest->ClassName() : std::string("nil")));
}

std::string TPersistent::GetNamePath() const { return ClassName(); }

bool IsValidIdent(std::string_view name) {
    if (name.empty()) return false;
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!alpha(name[0])) return false;
    for (char c : name)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Tell everyone who asked; each client removes its references in Notification.
    while (!FFreeNotifies.empty()) {
        TComponent* c = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& back = c->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        c->Notification(this, opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::Destroying() {
    if (FComponentState.Contains(csDestroying)) return;
    FComponentState.Include(csDestroying);
    for (TComponent* c : FComponents) c->Destroying();
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FComponents[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& v = FOwner->FComponents;
    auto it = std::find(v.begin(), v.end(), this);
    return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::SetName(const std::string& name) {
    if (name == FName) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError("''" + name + "'' is not a valid component name");
    if (FOwner)
        FOwner->ValidateRename(this, FName, name);
    else
        ValidateRename(nullptr, FName, name);
    ChangeName(name);
}

void TComponent::ValidateRename(TComponent* component, const std::string& curName, const std::string& newName) {
    if (component && !SameText(curName, newName) && !newName.empty() && FindComponent(newName))
        throw EComponentError("A component named " + newName + " already exists");
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component) return;
    component->ValidateContainer(this);
    ValidateRename(component, "", component->FName);
    Insert(component);
    NotifyOwned(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->FOwner != this) return;
    NotifyOwned(component, opRemove);
    Remove(component);
}

void TComponent::Insert(TComponent* c) {
    FComponents.push_back(c);
    c->FOwner = this;
}

void TComponent::Remove(TComponent* c) {
    c->FOwner = nullptr;
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), c), FComponents.end());
}

void TComponent::NotifyOwned(TComponent* component, TOperation operation) { Notification(component, operation); }

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        // Detach first so the child's destructor does not search this list again.
        RemoveComponent(c);
        delete c;
    }
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component) RemoveFreeNotification(component);
    // Every owned component hears of inserts and removes within its owner's tree.
    for (size_t i = FComponents.size(); i-- > 0;)
        if (i < FComponents.size()) FComponents[i]->Notification(component, operation);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
        FFreeNotifies.push_back(component);
    auto& back = component->FFreeNotifies;
    if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    RemoveNotification(component);
    if (component) component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* c) {
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), c), FFreeNotifies.end());
    if (FFreeNotifies.empty()) FComponentState.Exclude(csFreeNotification);
}

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::SetDesigning(bool value, bool children) {
    if (value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
    if (children)
        for (TComponent* c : FComponents) c->SetDesigning(value, true);
}

} // namespace qel
