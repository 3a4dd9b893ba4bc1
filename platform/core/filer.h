#pragma once
// Form-file streaming: TFiler, TReader and TWriter over the text form format (formsyntax.h), with
// published properties, defined properties, collections, component references fixed up after
// loading, events bound by method name through the root class's handler table, and visual
// inheritance (a form class's file is applied after its ancestors' files).
//
// Reading a form:
//   auto* form = qel::CreateComponent<TForm1>(owner);   // construct, then AfterConstruction, which
//                                                        // for forms calls InitInheritedComponent
//   qel::InitInheritedComponent(instance, TForm::StaticClass()); // reads "TFORM1" (type "QFM") after
//                                                        // the resources of its ancestor classes
//   qel::ReadComponentText(text, root, "main.qfm");      // one file into an existing root
// Writing:
//   std::string text = qel::WriteComponent(root);        // full
//   std::string diff = qel::WriteComponent(root, ancestorInstance); // only the differences
//
// Defined properties (values that are not published):
//   void TMyThing::DefineProperties(TFiler* filer) {
//       inherited::DefineProperties(filer);
//       auto* anc = dynamic_cast<TMyThing*>(filer->Ancestor());
//       filer->DefineProperty("Points", [this](TReader* r) { ... r->ReadListBegin(); while
//           (!r->EndOfList()) Add(r->ReadInteger()); r->ReadListEnd(); },
//           [this](TWriter* w) { w->WriteListBegin(); ... w->WriteInteger(v); ... w->WriteListEnd(); },
//           anc ? !SamePoints(anc) : !FPoints.empty());
//   }
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/collection.h"
#include "platform/core/component.h"
#include "platform/core/formsyntax.h"
#include "platform/core/streams.h"

namespace qel {

class TReader;
class TWriter;

using TReaderProc = std::function<void(TReader*)>;
using TWriterProc = std::function<void(TWriter*)>;
using TStreamProc = std::function<void(TStream&)>;

// The kind of the next value a reader sees (the platform's names).
QEL_ENUM(TValueType, vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue,
         vaBinary, vaSet, vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64,
         vaUTF8String)

class TFiler : public TObject {
    QEL_CLASS(TFiler, TObject)
    // The root component being read or written.
    TComponent* Root() const { return FRoot; }
    // While writing: the ancestor's counterpart of the object whose properties are being written
    // (nil when writing without an ancestor, and always while reading). Defined properties are
    // written only when they differ from it.
    TPersistent* Ancestor() const { return FAncestor; }
    void SetAncestor(TPersistent* ancestor) { FAncestor = ancestor; }
    const std::string& FileName() const { return FFileName; }

    // Declares a property stored through code: `readData` is called when the file holds it, and
    // `writeData` is called when writing and `hasData` is true.
    virtual void DefineProperty(const std::string& name, const TReaderProc& readData,
                                const TWriterProc& writeData, bool hasData) = 0;
    // Declares a property stored as binary data ({ hex }).
    virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                                      const TStreamProc& writeData, bool hasData) = 0;

protected:
    TComponent* FRoot = nullptr;
    TPersistent* FAncestor = nullptr;
    std::string FFileName;
};

namespace detail {
struct TReadSession;
}

class TReader : public TFiler {
    QEL_CLASS(TReader, TFiler)
    // A reader over a parsed document (which must outlive the reader).
    explicit TReader(const TFormDocument& doc);
    ~TReader() override;

    // Reads the document into `root`, which must be of the file's root class or a descendant. As a
    // standalone call it also resolves references and calls Loaded; inside InitInheritedComponent
    // those steps run once after the last file.
    void ReadRootComponent(TComponent* root);
    // Reads the properties and children of the object being read into `instance` (called by
    // TComponent::ReadState; descendants override ReadState to join Parent() first).
    void ReadData(TComponent* instance);

    // The owner of components being created, and the component whose children are being read.
    TComponent* Owner() const { return FOwner; }
    TComponent* Parent() const { return FParent; }

    // ---- values, for DefineProperty readers ----
    TValueType NextValue() const;
    // Skips the next value and returns its kind.
    TValueType ReadValue();
    bool EndOfList() const;
    void ReadListBegin();
    void ReadListEnd();
    int ReadInteger();
    int64_t ReadInt64();
    bool ReadBoolean();
    double ReadFloat();
    std::string ReadString();
    std::string ReadIdent();
    // Reads a "< item ... end >" value into `collection` (replacing its items).
    void ReadCollection(TCollection* collection);
    // The (dotted) name and line of the property being read.
    const std::string& PropName() const { return FPropName; }
    int PropLine() const { return FPropLine; }
    // Raises EFormReadError at the property being read.
    [[noreturn]] void PropertyError(const std::string& detail) const;

    void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                              const TStreamProc& writeData, bool hasData) override;

private:
    friend struct detail::TReadSession;
    friend bool InitInheritedComponent(TComponent*, TClass, TClass);
    friend void ReadComponentText(std::string_view, TComponent*, const std::string&);
    friend TComponent* ReadComponent(std::string_view, TComponent*, const std::string&);
    void ReadObject(const TFormObject& obj);
    void ReadProperties(TPersistent* instance, const std::vector<TFormProperty>& props,
                        const std::string& prefix);
    void ReadProperty(TPersistent* instance, const TFormProperty& prop, const std::string& prefix);
    void SetPropValue(TPersistent* obj, const TPropInfo* info, const TFormValue& v);
    void ReadCollectionValue(TCollection* coll, const TFormValue& v);
    const TFormValue* TakeValue();
    [[noreturn]] void ValueError(const char* expected) const;
    std::string DescribeInstance() const;

    const TFormDocument& FDoc;
    detail::TReadSession* FSession = nullptr;
    std::unique_ptr<detail::TReadSession> FOwnSession;
    TComponent* FOwner = nullptr;
    TComponent* FParent = nullptr;
    TComponent* FComponent = nullptr; // the component being read
    const TFormObject* FObject = nullptr;
    // Value cursor of the property being read.
    const TFormValue* FSingle = nullptr;
    bool FSingleTaken = false;
    struct Cursor {
        const TFormValue* List;
        size_t Index;
    };
    std::vector<Cursor> FStack;
    std::string FPropName;
    int FPropLine = 0;
    // Defined-property lookup.
    std::string FDefinedName;
    const TFormProperty* FDefinedProp = nullptr;
    bool FDefinedFound = false;
};

class TWriter : public TFiler {
    QEL_CLASS(TWriter, TFiler)
    TWriter();
    ~TWriter() override;

    // Writes `root` (and its children) into the document; with an ancestor (an instance of the root's
    // ancestor class as loaded from its files) only what differs is written and components present
    // in the ancestor are written as "inherited".
    void WriteDescendent(TComponent* root, TComponent* ancestor);
    void WriteRootComponent(TComponent* root) { WriteDescendent(root, nullptr); }
    // Writes the properties and children of `instance` (called by TComponent::WriteState).
    void WriteData(TComponent* instance);

    const TFormDocument& Document() const { return FDoc; }
    std::string Text() const { return FormatForm(FDoc); }

    // ---- values, for DefineProperty writers ----
    void WriteListBegin();
    void WriteListEnd();
    void WriteInteger(int64_t value);
    void WriteBoolean(bool value);
    void WriteFloat(double value);
    void WriteString(const std::string& value);
    void WriteIdent(const std::string& value);
    void WriteCollection(TCollection* collection);

    void DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const std::string& name, const TStreamProc& readData,
                              const TStreamProc& writeData, bool hasData) override;

private:
    void WriteComponent(TComponent* component);
    void WriteProperties(TPersistent* instance, TPersistent* ancestor, const std::string& prefix,
                         std::vector<TFormProperty>& out);
    bool ValueToForm(const TPropInfo* info, const TValue& v, TFormValue& out) const;
    bool SameValue(const TPropInfo* info, const TValue& a, const TValue& b) const;
    std::string ComponentPath(const TComponent* c) const;
    std::string MethodName(const TMethod& m) const;
    TFormValue CollectionValue(TCollection* coll);
    void Emit(TFormValue v);

    TFormDocument FDoc;
    TComponent* FAncestorRoot = nullptr;
    TComponent* FLookupRoot = nullptr;
    std::vector<TFormObject*> FObjects; // the object being filled, innermost last
    std::vector<TFormProperty>* FProps = nullptr;
    std::string FPrefix;
    // Value builder of a defined property.
    std::vector<TFormValue> FValueStack;
    std::vector<TFormValue> FValues;
};

// ---- reading -----------------------------------------------------------------------------------------

// Reads the form resources (type "QFM", named after each class) of `instance`'s class and of its
// ancestors below `rootAncestor`, ancestors first, then resolves references and calls Loaded on every
// component read. Returns false when no class in the chain has a resource. On error the components
// created by the read are freed, the root's state is restored, and the error propagates. With
// `lastClass`, the chain ends there instead of at the instance's own class (tools that read the
// instance's own file themselves).
bool InitInheritedComponent(TComponent* instance, TClass rootAncestor, TClass lastClass = nullptr);
// Reads the form resource named `resName` into `instance` (with fix-ups and Loaded).
void ReadComponentRes(const std::string& resName, TComponent* instance);
// Reads one form text into an existing root (with fix-ups and Loaded).
void ReadComponentText(std::string_view text, TComponent* root, const std::string& fileName = {});
void ReadComponentFile(const std::string& fileName, TComponent* root);
// Creates the root from a form text: the class named in the file (registered), owned by `owner`.
TComponent* ReadComponent(std::string_view text, TComponent* owner, const std::string& fileName = {});

// Two-phase construction: creates an instance of `cls` with `owner` through its metaclass, then
// calls AfterConstruction (where forms read their resources). The instance is freed if that fails.
TComponent* CreateComponent(TClass cls, TComponent* owner);
template <typename T>
T* CreateComponent(TComponent* owner) {
    return static_cast<T*>(CreateComponent(T::StaticClass(), owner));
}

// ---- writing -----------------------------------------------------------------------------------------

std::string WriteComponent(TComponent* root, TComponent* ancestor = nullptr);
// Writes to a file through a temporary file and a rename, so a crash never leaves half a file.
void WriteComponentFile(const std::string& fileName, TComponent* root, TComponent* ancestor = nullptr);

// ---- roots and references across roots ---------------------------------------------------------------

// Roots read from form files are registered by name until they are destroyed, so that "Form2.Edit1"
// references resolve; references to roots not loaded yet are resolved when those roots load.
void RegisterGlobalRoot(TComponent* root);
void UnregisterGlobalRoot(TComponent* root);
TComponent* FindGlobalComponent(std::string_view name);
// "Name" or "Root.Child.Grandchild" from `root` (then from the global roots); nil when not found.
TComponent* FindNestedComponent(TComponent* root, std::string_view path);
// Number of references still waiting for another root to load (diagnostics and tests).
int PendingGlobalFixups();

} // namespace qel
