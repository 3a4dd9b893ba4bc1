#pragma once
// TPersistent and TComponent: assignment, the owner tree, names, component state and notifications.
#include <string>
#include <vector>

#include "platform/core/object.h"

namespace qel {

class TFiler;
class TReader;
class TWriter;

class TPersistent : public TObject {
    QEL_CLASS(TPersistent, TObject)
    // Copies `source` into this object. The default asks the source to AssignTo this object, and
    // raises EConvertError ("Cannot assign a TFoo to a TBar") when neither side knows how.
    virtual void Assign(TPersistent* source);
    // Properties stored in form files beyond the published ones.
    virtual void DefineProperties(TFiler* filer) {}
    virtual TPersistent* GetOwner() const { return nullptr; }
    virtual std::string GetNamePath() const;

protected:
    virtual void AssignTo(TPersistent* dest);
};

QEL_ENUM(TComponentStateItem, csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor,
         csUpdating, csFixups, csFreeNotification, csInline, csDesignInstance)
using TComponentState = Set<TComponentStateItem>;

QEL_ENUM(TComponentStyleItem, csInheritable, csCheckPropAvail, csSubComponent, csTransient)
using TComponentStyle = Set<TComponentStyleItem>;

QEL_ENUM(TOperation, opInsert, opRemove)

class TComponent : public TPersistent {
    QEL_CLASS(TComponent, TPersistent)
    explicit TComponent(TComponent* owner);
    // Frees every owned component (last first) after telling all free-notification clients.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    const std::string& GetName() const { return FName; }
    // Raises EComponentError for an invalid identifier or a name already used within the owner.
    virtual void SetName(const std::string& name);
    int GetTag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    std::string GetNamePath() const override { return FName; }

    TComponentState ComponentState() const { return FComponentState; }
    TComponentStyle ComponentStyle() const { return FComponentStyle; }
    bool IsLoading() const { return FComponentState.Contains(csLoading); }
    bool IsDestroying() const { return FComponentState.Contains(csDestroying); }
    bool IsDesigning() const { return FComponentState.Contains(csDesigning); }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const; // EListError when out of range
    int ComponentIndex() const;
    // Case-insensitive search among the owned components.
    TComponent* FindComponent(std::string_view name) const;
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Frees every owned component.
    void DestroyComponents();

    // Asks for a Notification(this-component, opRemove) when `component` is destroyed; mutual.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Marks the component (and its owned tree) as being destroyed.
    virtual void Destroying();

    // Streaming: children in the order they are written, and their order when read back.
    using TGetChildProc = std::function<void(TComponent*)>;
    virtual void GetChildren(const TGetChildProc& proc, TComponent* root) {}
    virtual void SetChildOrder(TComponent* child, int order) {}
    virtual TComponent* GetChildOwner() { return nullptr; }
    virtual TComponent* GetChildParent() { return nullptr; }
    virtual void ReadState(TReader* reader);
    virtual void WriteState(TWriter* writer);
    // The component's streaming parent (a control's parent, a sprite's list); reading calls
    // SetParentComponent from the descendants' ReadState overrides with the reader's Parent.
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* parent) {}
    // Runs once the object is fully constructed (CreateComponent calls it): forms read their form
    // resources here, then run their after-streaming work and OnCreate.
    virtual void AfterConstruction() {}
    // Called on every component read from a form file once all references are resolved.
    virtual void Loaded();

    // Component state changes by the filer.
    void SetComponentState(TComponentState state) { FComponentState = state; }
    void IncludeState(TComponentStateItem s) { FComponentState.Include(s); }
    void ExcludeState(TComponentStateItem s) { FComponentState.Exclude(s); }
    void SetComponentStyle(TComponentStyle style) { FComponentStyle = style; }
    void SetDesigning(bool value, bool children = true);

    // The free-notification clients (for tests and diagnostics).
    const std::vector<TComponent*>& FreeNotifies() const { return FFreeNotifies; }

protected:
    virtual void Notification(TComponent* component, TOperation operation);
    virtual void ValidateRename(TComponent* component, const std::string& curName,
                                const std::string& newName);
    virtual void ValidateInsert(TComponent* component) {}
    virtual void ValidateContainer(TComponent* component) {}
    void ChangeName(const std::string& name) { FName = name; }
    // Notification on this component, which passes it down the owned tree.
    void NotifyOwned(TComponent* component, TOperation operation);

private:
    void Insert(TComponent* c);
    void Remove(TComponent* c);
    void RemoveNotification(TComponent* c);

    TComponent* FOwner = nullptr;
    std::string FName;
    int FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState;
    TComponentStyle FComponentStyle{csInheritable};
};

// True when `name` is a valid identifier (letter or underscore, then letters, digits, underscores).
bool IsValidIdent(std::string_view name);

} // namespace qel
