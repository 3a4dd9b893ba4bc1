#include "platform/core/filer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/core/resources.h"
#include "platform/core/strings.h"
#include "platform/core/strutils.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TFiler)
QEL_IMPLEMENT_CLASS(TReader)
QEL_IMPLEMENT_CLASS(TWriter)

void TComponent::ReadState(TReader* reader) {
    reader->ReadData(this);
}
void TComponent::WriteState(TWriter* writer) {
    writer->WriteData(this);
}

void TStrings::DefineProperties(TFiler* filer) {
    bool hasData;
    if (auto* anc = dynamic_cast<TStrings*>(filer->Ancestor()))
        hasData = !Equals(*anc);
    else
        hasData = Count() > 0;
    filer->DefineProperty(
        "Strings",
        [this](TReader* r) {
            r->ReadListBegin();
            BeginUpdate();
            try {
                Clear();
                while (!r->EndOfList()) Add(r->ReadString());
            } catch (...) {
                EndUpdate();
                throw;
            }
            EndUpdate();
            r->ReadListEnd();
        },
        [this](TWriter* w) {
            w->WriteListBegin();
            for (int i = 0; i < Count(); ++i) w->WriteString(Get(i));
            w->WriteListEnd();
        },
        hasData);
}

namespace {

std::vector<std::string> SplitDots(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        parts.emplace_back(
            path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

// Whether `cls` or one of its ancestors is called `name`.
bool ClassChainHas(TClass cls, std::string_view name) {
    for (TClass c = cls; c; c = c->Parent)
        if (SameText(c->Name, name)) return true;
    return false;
}

// A component that hears when watched components are destroyed, so lists of raw pointers never
// dangle.
class TWatcher : public TComponent {
public:
    TWatcher() : TComponent(nullptr) {}
    std::function<void(TComponent*)> OnRemove;
    void Watch(TComponent* c) {
        if (c) c->FreeNotification(this);
    }
    void Unwatch(TComponent* c) {
        if (c) c->RemoveFreeNotification(this);
    }
    void UnwatchAll() {
        while (!FreeNotifies().empty()) RemoveFreeNotification(FreeNotifies().back());
    }

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove && OnRemove) OnRemove(c);
    }
};

struct TFixup {
    TPersistent* Instance = nullptr;
    const TPropInfo* Prop = nullptr;
    std::string Name;
    TComponent* Root = nullptr;
    TComponent* Component = nullptr; // the component holding the property
    std::string File;
    int Line = 0;
    std::string PropPath;
};

bool ApplyFixup(const TFixup& f, TComponent* target) {
    if (f.Prop->PropClass && !target->InheritsFrom(f.Prop->PropClass))
        throw EFormReadError(f.File, f.Line,
                             "Invalid property value for " + f.PropPath + ": " + f.Name + " is a " +
                                 target->ClassName() + ", not a " + f.Prop->PropClass->Name);
    try {
        f.Prop->Set(f.Instance, TValue(static_cast<TObject*>(target)));
    } catch (EFormReadError&) {
        throw;
    } catch (Exception& e) {
        e.SetMessage((f.File.empty() ? "Line " + std::to_string(f.Line)
                                     : f.File + "(" + std::to_string(f.Line) + ")") +
                     ": Error reading " + f.PropPath + ": " + e.Message());
        throw;
    }
    return true;
}

// The registry of loaded roots and of references waiting for a root to load.
class TGlobalRoots {
public:
    static TGlobalRoots& Get() {
        static TGlobalRoots* g = new TGlobalRoots; // never freed: roots may die during exit
        return *g;
    }
    void Add(TComponent* root) {
        if (std::find(Roots.begin(), Roots.end(), root) != Roots.end()) return;
        Roots.push_back(root);
        W.Watch(root);
    }
    void Remove(TComponent* root) {
        Roots.erase(std::remove(Roots.begin(), Roots.end(), root), Roots.end());
        DropFixupsOf(root);
    }
    TComponent* Find(std::string_view name) const {
        if (name.empty()) return nullptr;
        for (TComponent* r : Roots)
            if (SameText(r->GetName(), name)) return r;
        return nullptr;
    }
    void AddPending(const TFixup& f) {
        Pending.push_back(f);
        W.Watch(f.Root);
        W.Watch(f.Component);
    }
    void DropFixupsOf(TComponent* c) {
        Pending.erase(std::remove_if(Pending.begin(), Pending.end(),
                                     [c](const TFixup& f) { return f.Root == c || f.Component == c; }),
                      Pending.end());
    }
    void Resolve() {
        for (size_t i = 0; i < Pending.size();) {
            TFixup f = Pending[i];
            TComponent* target = FindNestedComponent(f.Root, f.Name);
            if (!target) {
                ++i;
                continue;
            }
            Pending.erase(Pending.begin() + static_cast<ptrdiff_t>(i));
            try {
                ApplyFixup(f, target);
            } catch (Exception&) {
                // The referring form is already in use; a reference that does not fit stays unset.
            }
        }
    }
    std::vector<TComponent*> Roots;
    std::vector<TFixup> Pending;

private:
    TGlobalRoots() {
        W.OnRemove = [this](TComponent* c) {
            Roots.erase(std::remove(Roots.begin(), Roots.end(), c), Roots.end());
            DropFixupsOf(c);
        };
    }
    TWatcher W;
};

std::string UniqueRootName(TComponent* root, const std::string& name) {
    auto taken = [&](const std::string& n) {
        if (TComponent* g = TGlobalRoots::Get().Find(n); g && g != root) return true;
        if (root->Owner())
            if (TComponent* c = root->Owner()->FindComponent(n); c && c != root) return true;
        return false;
    };
    if (!taken(name)) return name;
    for (int i = 1;; ++i) {
        std::string n = name + "_" + std::to_string(i);
        if (!taken(n)) return n;
    }
}

} // namespace

// ---- read session ----------------------------------------------------------------------------------

namespace detail {

// Everything one read of a root (possibly several files, ancestors first) must undo on failure or
// finish on success.
struct TReadSession {
    TComponent* Root = nullptr;
    TComponentState RootState;
    std::string RootName;
    bool RootRenamed = false;
    bool RootRegistered = false;
    bool Started = false;
    std::vector<TComponent*> Loaded;
    std::vector<TComponent*> Created;
    std::vector<std::pair<TComponent*, TComponentState>> Touched;
    std::vector<TFixup> Fixups;
    TWatcher W;

    TReadSession() {
        W.OnRemove = [this](TComponent* c) {
            std::erase(Loaded, c);
            std::erase(Created, c);
            std::erase_if(Touched, [c](auto& p) { return p.first == c; });
            std::erase_if(Fixups, [c](const TFixup& f) { return f.Component == c; });
            if (c == Root) Root = nullptr;
        };
    }
    ~TReadSession() { W.UnwatchAll(); }

    void Begin(TComponent* root) {
        if (Started) return;
        Started = true;
        Root = root;
        RootState = root->ComponentState();
        RootName = root->GetName();
        W.Watch(root);
        root->IncludeState(csLoading);
        root->IncludeState(csReading);
        auto& roots = TGlobalRoots::Get().Roots;
        if (std::find(roots.begin(), roots.end(), root) == roots.end()) {
            TGlobalRoots::Get().Add(root);
            RootRegistered = true;
        }
        AddLoaded(root);
    }

    void AddLoaded(TComponent* c) {
        if (std::find(Loaded.begin(), Loaded.end(), c) == Loaded.end()) Loaded.push_back(c);
    }
    void Touch(TComponent* c) {
        for (auto& p : Touched)
            if (p.first == c) return;
        Touched.emplace_back(c, c->ComponentState());
        W.Watch(c);
    }
    void AddCreated(TComponent* c) {
        Created.push_back(c);
        W.Watch(c);
    }

    // References of the file just read: resolved now, parked for a root that is not loaded yet, or
    // reported.
    void ResolveFixups() {
        std::vector<TFixup> list;
        list.swap(Fixups);
        for (const TFixup& f : list) {
            TComponent* target = FindNestedComponent(f.Root, f.Name);
            if (target) {
                ApplyFixup(f, target);
                continue;
            }
            auto parts = SplitDots(f.Name);
            bool otherRoot = parts.size() > 1 && !f.Root->FindComponent(parts[0]) &&
                             !SameText(f.Root->GetName(), parts[0]) && !TGlobalRoots::Get().Find(parts[0]);
            if (otherRoot) {
                TGlobalRoots::Get().AddPending(f);
                continue;
            }
            throw EFormReadError(f.File, f.Line,
                                 "Invalid property value for " + f.PropPath + ": component " + f.Name +
                                     " not found");
        }
    }

    void Finish() {
        TGlobalRoots::Get().Resolve();
        for (auto& [c, st] : Touched) c->ExcludeState(csReading);
        if (Root) Root->ExcludeState(csReading);
        // Loaded may free other components (the watcher drops them from the list).
        std::exception_ptr failure;
        while (!Loaded.empty()) {
            TComponent* c = Loaded.front();
            Loaded.erase(Loaded.begin());
            if (failure) {
                c->ExcludeState(csLoading);
                continue;
            }
            try {
                c->Loaded();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        W.UnwatchAll();
        if (failure) std::rethrow_exception(failure);
    }

    void Abort() {
        Fixups.clear();
        // Undo in reverse: components created by this read go (their owned components with them).
        while (!Created.empty()) {
            TComponent* c = Created.back();
            Created.pop_back();
            W.Unwatch(c);
            std::erase(Loaded, c);
            std::erase_if(Touched, [c](auto& p) { return p.first == c; });
            delete c;
        }
        for (auto& [c, st] : Touched) c->SetComponentState(st);
        if (Root) {
            TGlobalRoots::Get().DropFixupsOf(Root);
            Root->SetComponentState(RootState);
            if (RootRenamed) {
                try {
                    Root->SetName(RootName);
                } catch (Exception&) {
                }
            }
            if (RootRegistered) TGlobalRoots::Get().Remove(Root);
        }
        W.UnwatchAll();
    }
};

} // namespace detail

// ---- TReader -------------------------------------------------------------------------------------

TReader::TReader(const TFormDocument& doc) : FDoc(doc) {
    FFileName = doc.FileName;
}

TReader::~TReader() = default;

void TReader::PropertyError(const std::string& detail) const {
    throw EFormReadError(FFileName, FPropLine, detail);
}

std::string TReader::DescribeInstance() const {
    return FComponent ? FComponent->ClassName() : std::string("?");
}

void TReader::ReadRootComponent(TComponent* root) {
    if (!root) throw EReadError("No root component to read into");
    bool standalone = !FSession;
    if (standalone) {
        FOwnSession = std::make_unique<detail::TReadSession>();
        FSession = FOwnSession.get();
    }
    try {
        const TFormObject& top = FDoc.Root;
        FPropLine = top.Line;
        if (top.Kind == TFormObjectKind::Inline) PropertyError("A form file cannot start with 'inline'");
        if (!ClassChainHas(root->ClassType(), top.ClassName))
            PropertyError("The file describes a " + top.ClassName + ", not a " + root->ClassName());
        FSession->Begin(root);
        if (!top.Name.empty() && !SameText(top.Name, root->GetName())) {
            std::string name = UniqueRootName(root, top.Name);
            try {
                root->SetName(name);
            } catch (Exception& e) {
                PropertyError(e.Message());
            }
            FSession->RootRenamed = true;
        }
        FRoot = root;
        FOwner = root;
        FParent = nullptr;
        FComponent = root;
        FObject = &top;
        root->ReadState(this);
        FSession->ResolveFixups();
        if (standalone) FSession->Finish();
    } catch (...) {
        if (standalone) {
            FSession->Abort();
            FSession = nullptr;
            FOwnSession.reset();
        }
        throw;
    }
    if (standalone) {
        FSession = nullptr;
        FOwnSession.reset();
    }
}

void TReader::ReadData(TComponent* instance) {
    const TFormObject* obj = FObject;
    if (!obj) throw EReadError("ReadData called outside of reading");
    TComponent* saveComponent = FComponent;
    FComponent = instance;
    ReadProperties(instance, obj->Properties, "");
    TComponent* saveOwner = FOwner;
    TComponent* saveParent = FParent;
    FParent = instance->GetChildParent() ? instance->GetChildParent() : instance;
    if (TComponent* o = instance->GetChildOwner())
        FOwner = o;
    else if (instance->ComponentState().Contains(csInline))
        FOwner = instance;
    else
        FOwner = FRoot;
    try {
        for (const TFormObject& child : obj->Children) ReadObject(child);
    } catch (...) {
        FOwner = saveOwner;
        FParent = saveParent;
        FComponent = saveComponent;
        FObject = obj;
        throw;
    }
    FOwner = saveOwner;
    FParent = saveParent;
    FComponent = saveComponent;
    FObject = obj;
}

void TReader::ReadObject(const TFormObject& obj) {
    FPropLine = obj.Line;
    FPropName.clear();
    TComponent* comp = nullptr;
    std::string label = obj.Name.empty() ? obj.ClassName : obj.Name;
    if (obj.Kind == TFormObjectKind::Inherited) {
        if (obj.Name.empty()) PropertyError("An inherited component needs a name");
        comp = FOwner ? FOwner->FindComponent(obj.Name) : nullptr;
        if (!comp)
            PropertyError("Ancestor for '" + obj.Name + "' not found in " +
                          (FOwner ? FOwner->ClassName() : "?"));
        if (!ClassChainHas(comp->ClassType(), obj.ClassName))
            PropertyError(obj.Name + " is a " + comp->ClassName() + ", not a " + obj.ClassName);
        FSession->Touch(comp);
    } else {
        TClass cls = GetClass(obj.ClassName);
        if (!cls) PropertyError("Class " + obj.ClassName + " not found");
        if (!cls->InheritsFrom(TComponent::StaticClass()) || !cls->Create)
            PropertyError("Cannot create a " + obj.ClassName + " from a form file");
        if (obj.Kind == TFormObjectKind::Inline) {
            // An embedded frame reads its own files while it is constructed; it is not a root that
            // other forms refer to by name.
            comp = CreateComponent(cls, FOwner);
            UnregisterGlobalRoot(comp);
        } else {
            TObject* o = cls->Create(FOwner);
            comp = dynamic_cast<TComponent*>(o);
            if (!comp) {
                delete o;
                PropertyError("Cannot create a " + obj.ClassName + " from a form file");
            }
        }
        FSession->AddCreated(comp);
        FSession->Touch(comp);
        if (obj.Kind == TFormObjectKind::Inline) comp->IncludeState(csInline);
        if (!obj.Name.empty()) {
            try {
                comp->SetName(obj.Name);
            } catch (Exception& e) {
                PropertyError(e.Message());
            }
        }
    }
    comp->IncludeState(csLoading);
    comp->IncludeState(csReading);
    FSession->AddLoaded(comp);
    const TFormObject* saveObject = FObject;
    FObject = &obj;
    try {
        comp->ReadState(this);
    } catch (...) {
        FObject = saveObject;
        throw;
    }
    FObject = saveObject;
    comp->ExcludeState(csReading);
    if (obj.Index >= 0 && FParent) FParent->SetChildOrder(comp, obj.Index);
}

void TReader::ReadProperties(TPersistent* instance, const std::vector<TFormProperty>& props,
                             const std::string& prefix) {
    for (const TFormProperty& p : props) ReadProperty(instance, p, prefix);
}

void TReader::ReadProperty(TPersistent* instance, const TFormProperty& prop, const std::string& prefix) {
    std::string saveName = FPropName;
    int saveLine = FPropLine;
    FPropName = prefix + prop.Name;
    FPropLine = prop.Line;
    auto parts = SplitDots(prop.Name);
    TPersistent* obj = instance;
    auto missing = [&]() {
        PropertyError("Property " + FPropName + " does not exist in " + DescribeInstance());
    };
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const TPropInfo* pi = obj->ClassType()->FindProperty(parts[i]);
        if (!pi || pi->Kind != TTypeKind::Class || !pi->Get) missing();
        TValue v = pi->Get(obj);
        auto* sub = std::get_if<TObject*>(&v);
        auto* next = sub ? dynamic_cast<TPersistent*>(*sub) : nullptr;
        if (!next) PropertyError("Property " + FPropName + " cannot be read: " + parts[i] + " is nil");
        obj = next;
    }
    const std::string& last = parts.back();
    if (const TPropInfo* pi = obj->ClassType()->FindProperty(last)) {
        SetPropValue(obj, pi, prop.Value);
    } else {
        std::string saveDefined = FDefinedName;
        const TFormProperty* saveProp = FDefinedProp;
        bool saveFound = FDefinedFound;
        FDefinedName = last;
        FDefinedProp = &prop;
        FDefinedFound = false;
        try {
            obj->DefineProperties(this);
        } catch (...) {
            FDefinedName = saveDefined;
            FDefinedProp = saveProp;
            FDefinedFound = saveFound;
            throw;
        }
        bool found = FDefinedFound;
        FDefinedName = saveDefined;
        FDefinedProp = saveProp;
        FDefinedFound = saveFound;
        if (!found) missing();
    }
    FPropName = saveName;
    FPropLine = saveLine;
}

namespace {
const char* KindText(TFormValueKind k) {
    switch (k) {
    case TFormValueKind::Integer: return "an integer";
    case TFormValueKind::Float: return "a number";
    case TFormValueKind::String: return "a string";
    case TFormValueKind::Ident: return "an identifier";
    case TFormValueKind::Set: return "a set";
    case TFormValueKind::List: return "a list";
    case TFormValueKind::Collection: return "a collection";
    case TFormValueKind::Binary: return "binary data";
    }
    return "a value";
}
} // namespace

void TReader::SetPropValue(TPersistent* obj, const TPropInfo* info, const TFormValue& v) {
    auto invalid = [&](const std::string& why) {
        PropertyError("Invalid property value for " + FPropName + ": " + why);
    };
    auto expected = [&](const char* what) {
        invalid(std::string(what) + " expected, found " + KindText(v.Kind));
    };
    if (info->Kind == TTypeKind::Class) {
        TValue cur = info->Get ? info->Get(obj) : TValue();
        auto* sub = std::get_if<TObject*>(&cur);
        if (auto* coll = sub ? dynamic_cast<TCollection*>(*sub) : nullptr) {
            if (v.Kind != TFormValueKind::Collection) expected("A collection");
            ReadCollectionValue(coll, v);
            return;
        }
        invalid("an object property takes no value; set its properties (" + FPropName + ".Name = ...)");
    }
    if (!info->Set) PropertyError("Property " + FPropName + " is read-only");
    TValue value;
    switch (info->Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Int64: {
        int64_t i = 0;
        if (v.Kind == TFormValueKind::Integer)
            i = v.Int;
        else if (v.Kind == TFormValueKind::Ident && info->IntIdents && info->IntIdents->ToInt(v.Str, i))
            ;
        else
            expected("An integer");
        if (info->Kind == TTypeKind::Integer && (i < INT32_MIN || i > INT32_MAX))
            invalid(std::to_string(i) + " is out of range");
        value = i;
        break;
    }
    case TTypeKind::Boolean:
        if (v.Kind != TFormValueKind::Ident) expected("True or False");
        if (SameText(v.Str, "True"))
            value = int64_t{1};
        else if (SameText(v.Str, "False"))
            value = int64_t{0};
        else
            invalid(v.Str + " is not True or False");
        break;
    case TTypeKind::Enumeration: {
        if (v.Kind != TFormValueKind::Ident) expected("An identifier");
        auto ord = info->Enum ? info->Enum->ValueOf(v.Str) : std::nullopt;
        if (!ord)
            invalid(v.Str + " is not a " + (info->Enum ? info->Enum->Name() : std::string("?")) + " value");
        value = int64_t{*ord};
        break;
    }
    case TTypeKind::Set: {
        if (v.Kind != TFormValueKind::Set) expected("A set");
        uint64_t bits = 0;
        for (const auto& e : v.Elements) {
            auto ord = info->Enum ? info->Enum->ValueOf(e) : std::nullopt;
            if (!ord || *ord >= 64)
                invalid(e + " is not a " + (info->Enum ? info->Enum->Name() : std::string("?")) + " value");
            bits |= uint64_t{1} << *ord;
        }
        value = static_cast<int64_t>(bits);
        break;
    }
    case TTypeKind::Float:
        if (v.Kind == TFormValueKind::Float)
            value = v.Float;
        else if (v.Kind == TFormValueKind::Integer)
            value = static_cast<double>(v.Int);
        else
            expected("A number");
        break;
    case TTypeKind::String:
        if (v.Kind != TFormValueKind::String) expected("A string");
        value = v.Str;
        break;
    case TTypeKind::Color: {
        if (v.Kind == TFormValueKind::Integer) {
            if (v.Int < INT32_MIN || v.Int > int64_t{UINT32_MAX})
                invalid(std::to_string(v.Int) + " is not a colour");
            value = int64_t{ToColor(v.Int)};
        } else if (v.Kind == TFormValueKind::Ident) {
            TColor c;
            if (!IdentToColor(v.Str, c)) invalid(v.Str + " is not a colour");
            value = int64_t{c};
        } else {
            expected("A colour");
        }
        break;
    }
    case TTypeKind::Component: {
        if (v.Kind != TFormValueKind::Ident) expected("A component name");
        if (SameText(v.Str, "nil")) {
            value = static_cast<TObject*>(nullptr);
            break;
        }
        TFixup f;
        f.Instance = obj;
        f.Prop = info;
        f.Name = v.Str;
        f.Root = FRoot;
        f.Component = FComponent;
        f.File = FFileName;
        f.Line = FPropLine;
        f.PropPath = (FComponent ? FComponent->GetName() + "." : std::string()) + FPropName;
        FSession->Fixups.push_back(std::move(f));
        return;
    }
    case TTypeKind::Method: {
        if (v.Kind != TFormValueKind::Ident) expected("A method name");
        if (SameText(v.Str, "nil")) {
            value = TMethod{};
            break;
        }
        const TMethodEntry* m = FRoot ? FRoot->ClassType()->FindMethod(v.Str) : nullptr;
        if (!m)
            PropertyError("Method " + v.Str + " not found in " +
                          (FRoot ? FRoot->ClassName() : std::string("?")));
        if (m->Signature && info->EventType && *m->Signature != *info->EventType)
            invalid("method " + v.Str + " does not have the parameters of " + FPropName);
        value = m->Bind(FRoot);
        if (!std::get<TMethod>(value))
            PropertyError("Method " + v.Str + " cannot be bound to " + FRoot->ClassName());
        break;
    }
    case TTypeKind::Class: break;
    }
    try {
        info->Set(obj, value);
    } catch (EFormReadError&) {
        throw;
    } catch (Exception& e) {
        e.SetMessage((FFileName.empty() ? "Line " + std::to_string(FPropLine)
                                        : FFileName + "(" + std::to_string(FPropLine) + ")") +
                     ": Error reading " + (FComponent ? FComponent->GetName() + "." : std::string()) +
                     FPropName + ": " + e.Message());
        throw;
    }
}

void TReader::ReadCollectionValue(TCollection* coll, const TFormValue& v) {
    coll->BeginUpdate();
    try {
        coll->Clear();
        std::string base = FPropName;
        int index = 0;
        for (const TFormCollectionItem& item : v.CollItems) {
            TCollectionItem* it = coll->Add();
            std::string prefix = base + "[" + std::to_string(index++) + "].";
            std::string saveName = FPropName;
            FPropName.clear();
            for (const TFormProperty& p : item.Properties) ReadProperty(it, p, prefix);
            FPropName = saveName;
        }
    } catch (...) {
        coll->EndUpdate();
        throw;
    }
    coll->EndUpdate();
}

void TReader::DefineProperty(const std::string& name, const TReaderProc& readData, const TWriterProc&, bool) {
    if (FDefinedFound || !FDefinedProp || !SameText(name, FDefinedName)) return;
    FDefinedFound = true;
    if (!readData) return; // written for compatibility only: the value is skipped
    const TFormValue* saveSingle = FSingle;
    bool saveTaken = FSingleTaken;
    auto saveStack = std::move(FStack);
    FSingle = &FDefinedProp->Value;
    FSingleTaken = false;
    FStack.clear();
    auto restore = [&] {
        FSingle = saveSingle;
        FSingleTaken = saveTaken;
        FStack = std::move(saveStack);
    };
    try {
        readData(this);
    } catch (EFormReadError&) {
        restore();
        throw;
    } catch (Exception& e) {
        restore();
        e.SetMessage((FFileName.empty() ? "Line " + std::to_string(FPropLine)
                                        : FFileName + "(" + std::to_string(FPropLine) + ")") +
                     ": Error reading " + (FComponent ? FComponent->GetName() + "." : std::string()) +
                     FPropName + ": " + e.Message());
        throw;
    } catch (...) {
        restore();
        throw;
    }
    bool unclosed = !FStack.empty();
    restore();
    if (unclosed) PropertyError("Invalid property value for " + FPropName + ": list not read to its end");
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& readData, const TStreamProc&,
                                   bool) {
    if (FDefinedFound || !FDefinedProp || !SameText(name, FDefinedName)) return;
    FDefinedFound = true;
    if (!readData) return;
    const TFormValue& v = FDefinedProp->Value;
    if (v.Kind != TFormValueKind::Binary)
        PropertyError("Invalid property value for " + FPropName + ": binary data expected, found " +
                      KindText(v.Kind));
    TMemoryStream ms(v.Str);
    try {
        readData(ms);
    } catch (EFormReadError&) {
        throw;
    } catch (Exception& e) {
        e.SetMessage((FFileName.empty() ? "Line " + std::to_string(FPropLine)
                                        : FFileName + "(" + std::to_string(FPropLine) + ")") +
                     ": Error reading " + (FComponent ? FComponent->GetName() + "." : std::string()) +
                     FPropName + ": " + e.Message());
        throw;
    }
}

// ---- value cursor ----

const TFormValue* TReader::TakeValue() {
    if (!FStack.empty()) {
        Cursor& c = FStack.back();
        if (c.Index >= c.List->Items.size())
            PropertyError("Invalid property value for " + FPropName + ": unexpected end of list");
        return &c.List->Items[c.Index++];
    }
    if (!FSingle || FSingleTaken)
        PropertyError("Invalid property value for " + FPropName + ": no more values");
    FSingleTaken = true;
    return FSingle;
}

void TReader::ValueError(const char* expected) const {
    PropertyError("Invalid property value for " + FPropName + ": " + expected + " expected");
}

TValueType TReader::NextValue() const {
    const TFormValue* v = nullptr;
    if (!FStack.empty()) {
        const Cursor& c = FStack.back();
        if (c.Index >= c.List->Items.size()) return vaNull;
        v = &c.List->Items[c.Index];
    } else {
        if (!FSingle || FSingleTaken) return vaNull;
        v = FSingle;
    }
    switch (v->Kind) {
    case TFormValueKind::Integer:
        if (v->Int >= -128 && v->Int <= 127) return vaInt8;
        if (v->Int >= -32768 && v->Int <= 32767) return vaInt16;
        if (v->Int >= INT32_MIN && v->Int <= INT32_MAX) return vaInt32;
        return vaInt64;
    case TFormValueKind::Float:
        return v->FloatSuffix == 's'   ? vaSingle
               : v->FloatSuffix == 'c' ? vaCurrency
               : v->FloatSuffix == 'd' ? vaDate
                                       : vaExtended;
    case TFormValueKind::String: return vaString;
    case TFormValueKind::Ident:
        if (SameText(v->Str, "True")) return vaTrue;
        if (SameText(v->Str, "False")) return vaFalse;
        if (SameText(v->Str, "nil")) return vaNil;
        return vaIdent;
    case TFormValueKind::Set: return vaSet;
    case TFormValueKind::List: return vaList;
    case TFormValueKind::Collection: return vaCollection;
    case TFormValueKind::Binary: return vaBinary;
    }
    return vaNull;
}

TValueType TReader::ReadValue() {
    TValueType t = NextValue();
    if (t != vaNull) TakeValue();
    return t;
}

bool TReader::EndOfList() const {
    if (FStack.empty()) return !FSingle || FSingleTaken;
    return FStack.back().Index >= FStack.back().List->Items.size();
}

void TReader::ReadListBegin() {
    const TFormValue* v = TakeValue();
    if (v->Kind != TFormValueKind::List) ValueError("A list");
    if (FStack.size() >= static_cast<size_t>(kMaxFormValueDepth)) ValueError("A shallower list");
    FStack.push_back({v, 0});
}

void TReader::ReadListEnd() {
    if (FStack.empty()) ValueError("A list");
    if (FStack.back().Index < FStack.back().List->Items.size()) ValueError("The end of the list");
    FStack.pop_back();
}

int TReader::ReadInteger() {
    int64_t v = ReadInt64();
    if (v < INT32_MIN || v > INT32_MAX) ValueError("A 32-bit integer");
    return static_cast<int>(v);
}

int64_t TReader::ReadInt64() {
    const TFormValue* v = TakeValue();
    if (v->Kind != TFormValueKind::Integer) ValueError("An integer");
    return v->Int;
}

bool TReader::ReadBoolean() {
    const TFormValue* v = TakeValue();
    if (v->Kind == TFormValueKind::Ident) {
        if (SameText(v->Str, "True")) return true;
        if (SameText(v->Str, "False")) return false;
    }
    ValueError("True or False");
}

double TReader::ReadFloat() {
    const TFormValue* v = TakeValue();
    if (v->Kind == TFormValueKind::Float) return v->Float;
    if (v->Kind == TFormValueKind::Integer) return static_cast<double>(v->Int);
    ValueError("A number");
}

std::string TReader::ReadString() {
    const TFormValue* v = TakeValue();
    if (v->Kind != TFormValueKind::String) ValueError("A string");
    return v->Str;
}

std::string TReader::ReadIdent() {
    const TFormValue* v = TakeValue();
    if (v->Kind != TFormValueKind::Ident) ValueError("An identifier");
    return v->Str;
}

void TReader::ReadCollection(TCollection* collection) {
    const TFormValue* v = TakeValue();
    if (v->Kind != TFormValueKind::Collection) ValueError("A collection");
    auto saveStack = std::move(FStack);
    const TFormValue* saveSingle = FSingle;
    bool saveTaken = FSingleTaken;
    FStack.clear();
    try {
        ReadCollectionValue(collection, *v);
    } catch (...) {
        FStack = std::move(saveStack);
        FSingle = saveSingle;
        FSingleTaken = saveTaken;
        throw;
    }
    FStack = std::move(saveStack);
    FSingle = saveSingle;
    FSingleTaken = saveTaken;
}

// ---- TWriter -------------------------------------------------------------------------------------

TWriter::TWriter() = default;
TWriter::~TWriter() = default;

void TWriter::WriteDescendent(TComponent* root, TComponent* ancestor) {
    if (!root) throw EWriteError("No component to write");
    FDoc = TFormDocument();
    FRoot = root;
    FLookupRoot = root;
    FAncestorRoot = ancestor;
    FDoc.Root.Kind = ancestor ? TFormObjectKind::Inherited : TFormObjectKind::Object;
    FDoc.Root.Name = root->GetName();
    FDoc.Root.ClassName = root->ClassName();
    FObjects.assign(1, &FDoc.Root);
    TComponentState saved = root->ComponentState();
    root->IncludeState(csWriting);
    TPersistent* saveAncestor = FAncestor;
    FAncestor = ancestor;
    try {
        root->WriteState(this);
    } catch (...) {
        root->SetComponentState(saved);
        FObjects.clear();
        throw;
    }
    FAncestor = saveAncestor;
    root->SetComponentState(saved);
    FObjects.clear();
}

void TWriter::WriteData(TComponent* instance) {
    if (FObjects.empty()) throw EWriteError("WriteData called outside of writing");
    TFormObject* obj = FObjects.back();
    auto* anc = dynamic_cast<TComponent*>(FAncestor);
    WriteProperties(instance, anc, "", obj->Properties);
    TComponent* lookup = FLookupRoot;
    instance->GetChildren([this](TComponent* c) { WriteComponent(c); }, lookup);
}

void TWriter::WriteComponent(TComponent* c) {
    if (!c || c->ComponentStyle().Contains(csTransient)) return;
    TFormObject obj;
    obj.Name = c->GetName();
    obj.ClassName = c->ClassName();
    TComponent* anc = (FAncestorRoot && !obj.Name.empty()) ? FAncestorRoot->FindComponent(obj.Name) : nullptr;
    if (anc && anc->ClassType() != c->ClassType() && !c->InheritsFrom(anc->ClassType())) anc = nullptr;
    std::unique_ptr<TComponent> freshFrame;
    TComponent* saveAncestorRoot = FAncestorRoot;
    TComponent* saveLookup = FLookupRoot;
    if (anc) {
        obj.Kind = TFormObjectKind::Inherited;
    } else if (c->ComponentState().Contains(csInline)) {
        // An embedded frame is written against a fresh instance made from its own files.
        obj.Kind = TFormObjectKind::Inline;
        freshFrame.reset(CreateComponent(c->ClassType(), nullptr));
        anc = freshFrame.get();
    }
    if (c->ComponentState().Contains(csInline)) {
        FAncestorRoot = anc;
        FLookupRoot = c;
    }
    TPersistent* saveAncestor = FAncestor;
    FAncestor = anc;
    FObjects.push_back(&obj);
    try {
        c->WriteState(this);
    } catch (...) {
        FObjects.pop_back();
        FAncestor = saveAncestor;
        FAncestorRoot = saveAncestorRoot;
        FLookupRoot = saveLookup;
        throw;
    }
    FObjects.pop_back();
    FAncestor = saveAncestor;
    FAncestorRoot = saveAncestorRoot;
    FLookupRoot = saveLookup;
    FObjects.back()->Children.push_back(std::move(obj));
}

std::string TWriter::ComponentPath(const TComponent* c) const {
    if (!c) return "nil";
    if (c == FRoot) return c->GetName();
    std::string path = c->GetName();
    if (path.empty()) return {};
    for (const TComponent* p = c->Owner(); p && p != FRoot; p = p->Owner()) {
        if (p->GetName().empty()) return {};
        path = p->GetName() + "." + path;
    }
    return path;
}

std::string TWriter::MethodName(const TMethod& m) const {
    if (!m) return {};
    TComponent* root = FRoot;
    for (TClass c = root->ClassType(); c; c = c->Parent)
        for (const TMethodEntry& e : c->OwnMethods)
            if (e.Bind && e.Bind(root) == m) return e.Name;
    return {};
}

bool TWriter::SameValue(const TPropInfo* info, const TValue& a, const TValue& b) const {
    if (info->Kind == TTypeKind::Component) {
        auto* x = std::get_if<TObject*>(&a);
        auto* y = std::get_if<TObject*>(&b);
        const TComponent* cx = x ? dynamic_cast<const TComponent*>(*x) : nullptr;
        const TComponent* cy = y ? dynamic_cast<const TComponent*>(*y) : nullptr;
        if (!cx || !cy) return cx == cy;
        if (cx == cy) return true;
        // The ancestor's reference names the ancestor's own component: compare by name.
        return SameText(cx->GetName(), cy->GetName()) && !cx->GetName().empty();
    }
    if (info->Kind == TTypeKind::Method) {
        auto* x = std::get_if<TMethod>(&a);
        auto* y = std::get_if<TMethod>(&b);
        if (!x || !y) return false;
        if (!*x || !*y) return static_cast<bool>(*x) == static_cast<bool>(*y);
        if (*x == *y) return true;
        // Bound to the ancestor instance: compare handler names.
        std::string nx = MethodName(*x);
        if (nx.empty()) return false;
        for (TClass c = FAncestorRoot ? FAncestorRoot->ClassType() : nullptr; c; c = c->Parent)
            for (const TMethodEntry& e : c->OwnMethods)
                if (e.Bind && e.Bind(FAncestorRoot) == *y) return SameText(e.Name, nx);
        return false;
    }
    return a == b;
}

bool TWriter::ValueToForm(const TPropInfo* info, const TValue& v, TFormValue& out) const {
    switch (info->Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Int64: {
        int64_t i = std::get<int64_t>(v);
        std::string ident;
        if (info->IntIdents && info->IntIdents->ToIdent(i, ident))
            out = TFormValue::MakeIdent(ident);
        else
            out = TFormValue::MakeInteger(i);
        return true;
    }
    case TTypeKind::Boolean:
        out = TFormValue::MakeIdent(std::get<int64_t>(v) ? "True" : "False");
        return true;
    case TTypeKind::Enumeration: {
        std::string n =
            info->Enum ? info->Enum->NameOf(static_cast<int>(std::get<int64_t>(v))) : std::string();
        if (n.empty()) return false;
        out = TFormValue::MakeIdent(n);
        return true;
    }
    case TTypeKind::Set: {
        auto bits = static_cast<uint64_t>(std::get<int64_t>(v));
        std::vector<std::string> elems;
        for (int i = 0; i < 64; ++i)
            if (bits & (uint64_t{1} << i)) {
                std::string n = info->Enum ? info->Enum->NameOf(i) : std::string();
                if (!n.empty()) elems.push_back(n);
            }
        out = TFormValue::MakeSet(std::move(elems));
        return true;
    }
    case TTypeKind::Float: out = TFormValue::MakeFloat(std::get<double>(v)); return true;
    case TTypeKind::String: out = TFormValue::MakeString(std::get<std::string>(v)); return true;
    case TTypeKind::Color: {
        TColor c = ToColor(std::get<int64_t>(v));
        std::string n = ColorToIdent(c);
        out = n.empty() ? TFormValue::MakeInteger(static_cast<int32_t>(c)) : TFormValue::MakeIdent(n);
        return true;
    }
    case TTypeKind::Component: {
        auto* o = std::get_if<TObject*>(&v);
        const TComponent* c = o ? dynamic_cast<const TComponent*>(*o) : nullptr;
        std::string path = c ? ComponentPath(c) : std::string("nil");
        if (path.empty()) return false;
        out = TFormValue::MakeIdent(path);
        return true;
    }
    case TTypeKind::Method: {
        const TMethod& m = std::get<TMethod>(v);
        std::string n = m ? MethodName(m) : std::string("nil");
        if (n.empty()) return false;
        out = TFormValue::MakeIdent(n);
        return true;
    }
    case TTypeKind::Class: return false;
    }
    return false;
}

TFormValue TWriter::CollectionValue(TCollection* coll) {
    TFormValue v = TFormValue::MakeCollection();
    TPersistent* saveAncestor = FAncestor;
    for (int i = 0; i < coll->Count(); ++i) {
        TFormCollectionItem item;
        WriteProperties(coll->Items(i), nullptr, "", item.Properties);
        v.CollItems.push_back(std::move(item));
    }
    FAncestor = saveAncestor;
    return v;
}

void TWriter::WriteProperties(TPersistent* instance, TPersistent* ancestor, const std::string& prefix,
                              std::vector<TFormProperty>& out) {
    if (ancestor && !instance->InheritsFrom(ancestor->ClassType()) &&
        !ancestor->InheritsFrom(instance->ClassType()))
        ancestor = nullptr;
    for (const TPropInfo* pi : instance->ClassType()->Properties()) {
        if (pi->Stored && !pi->Stored(instance)) continue;
        if (!pi->Get) continue;
        const TPropInfo* api = ancestor ? ancestor->ClassType()->FindProperty(pi->Name) : nullptr;
        if (api && api->Kind != pi->Kind) api = nullptr;
        if (pi->Kind == TTypeKind::Class) {
            TValue sv = pi->Get(instance);
            auto* so = std::get_if<TObject*>(&sv);
            auto* sub = so ? dynamic_cast<TPersistent*>(*so) : nullptr;
            if (!sub) continue;
            TPersistent* ancSub = nullptr;
            if (api && api->Get) {
                TValue av = api->Get(ancestor);
                auto* ao = std::get_if<TObject*>(&av);
                ancSub = ao ? dynamic_cast<TPersistent*>(*ao) : nullptr;
            }
            if (auto* coll = dynamic_cast<TCollection*>(sub)) {
                TFormValue val = CollectionValue(coll);
                if (auto* ancColl = dynamic_cast<TCollection*>(ancSub)) {
                    TComponent* saveRoot = FRoot;
                    TFormValue ancVal;
                    if (FAncestorRoot) FRoot = FAncestorRoot;
                    try {
                        ancVal = CollectionValue(ancColl);
                    } catch (...) {
                        FRoot = saveRoot;
                        throw;
                    }
                    FRoot = saveRoot;
                    if (val == ancVal) continue;
                } else if (coll->Count() == 0) {
                    continue;
                }
                TFormProperty p;
                p.Name = prefix + pi->Name;
                p.Value = std::move(val);
                out.push_back(std::move(p));
            } else {
                WriteProperties(sub, ancSub, prefix + pi->Name + ".", out);
            }
            continue;
        }
        if (!pi->Set) continue;
        TValue v = pi->Get(instance);
        if (api) {
            if (SameValue(pi, v, api->Get(ancestor))) continue;
        } else if (pi->HasDefault && v == pi->Default) {
            continue;
        } else if (pi->Kind == TTypeKind::Method && !std::get<TMethod>(v)) {
            continue;
        }
        TFormProperty p;
        if (!ValueToForm(pi, v, p.Value)) continue;
        p.Name = prefix + pi->Name;
        out.push_back(std::move(p));
    }
    // Then the defined properties, compared with the ancestor's counterpart.
    TPersistent* saveAncestor = FAncestor;
    std::vector<TFormProperty>* saveProps = FProps;
    std::string savePrefix = FPrefix;
    FAncestor = ancestor;
    FProps = &out;
    FPrefix = prefix;
    try {
        instance->DefineProperties(this);
    } catch (...) {
        FAncestor = saveAncestor;
        FProps = saveProps;
        FPrefix = savePrefix;
        throw;
    }
    FAncestor = saveAncestor;
    FProps = saveProps;
    FPrefix = savePrefix;
}

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& writeData,
                             bool hasData) {
    if (!hasData || !writeData || !FProps) return;
    auto saveValues = std::move(FValues);
    auto saveStack = std::move(FValueStack);
    FValues.clear();
    FValueStack.clear();
    auto restore = [&] {
        FValues = std::move(saveValues);
        FValueStack = std::move(saveStack);
    };
    try {
        writeData(this);
    } catch (...) {
        restore();
        throw;
    }
    bool ok = FValueStack.empty() && FValues.size() == 1;
    TFormValue v = ok ? std::move(FValues.front()) : TFormValue();
    restore();
    if (!ok) throw EWriteError("Defined property " + name + " must write exactly one value");
    TFormProperty p;
    p.Name = FPrefix + name;
    p.Value = std::move(v);
    FProps->push_back(std::move(p));
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& writeData,
                                   bool hasData) {
    if (!hasData || !writeData || !FProps) return;
    TMemoryStream ms;
    writeData(ms);
    TFormProperty p;
    p.Name = FPrefix + name;
    p.Value = TFormValue::MakeBinary(std::string(ms.Bytes()));
    FProps->push_back(std::move(p));
}

void TWriter::Emit(TFormValue v) {
    if (!FValueStack.empty())
        FValueStack.back().Items.push_back(std::move(v));
    else
        FValues.push_back(std::move(v));
}

void TWriter::WriteListBegin() {
    FValueStack.push_back(TFormValue::MakeList());
}

void TWriter::WriteListEnd() {
    if (FValueStack.empty()) throw EWriteError("WriteListEnd without WriteListBegin");
    TFormValue v = std::move(FValueStack.back());
    FValueStack.pop_back();
    Emit(std::move(v));
}

void TWriter::WriteInteger(int64_t value) {
    Emit(TFormValue::MakeInteger(value));
}
void TWriter::WriteBoolean(bool value) {
    Emit(TFormValue::MakeIdent(value ? "True" : "False"));
}
void TWriter::WriteFloat(double value) {
    FormatFormFloat(value); // rejects values the format cannot hold
    Emit(TFormValue::MakeFloat(value));
}
void TWriter::WriteString(const std::string& value) {
    Emit(TFormValue::MakeString(value));
}
void TWriter::WriteIdent(const std::string& value) {
    if (!IsValidIdent(SplitDots(value).front())) throw EWriteError("Invalid identifier '" + value + "'");
    Emit(TFormValue::MakeIdent(value));
}
void TWriter::WriteCollection(TCollection* collection) {
    Emit(CollectionValue(collection));
}

// ---- free functions ------------------------------------------------------------------------------

bool InitInheritedComponent(TComponent* instance, TClass rootAncestor, TClass lastClass) {
    if (!instance) return false;
    std::vector<TClass> chain;
    TClass start = lastClass ? lastClass : instance->ClassType();
    if (!instance->InheritsFrom(start)) return false;
    for (TClass c = start; c && c != rootAncestor; c = c->Parent) chain.push_back(c);
    std::reverse(chain.begin(), chain.end());
    detail::TReadSession session;
    bool found = false;
    try {
        for (TClass c : chain) {
            auto res = FindResource(c->Name, kFormResourceType);
            if (!res) continue;
            found = true;
            std::string file = ResourceFileName(c->Name, kFormResourceType);
            if (file.empty()) file = c->Name + ".qfm";
            TFormDocument doc =
                ParseForm(std::string_view(reinterpret_cast<const char*>(res->data()), res->size()), file);
            TReader reader(doc);
            reader.FSession = &session;
            reader.ReadRootComponent(instance);
        }
        if (found) session.Finish();
    } catch (...) {
        session.Abort();
        throw;
    }
    return found;
}

void ReadComponentRes(const std::string& resName, TComponent* instance) {
    auto res = FindResource(resName, kFormResourceType);
    if (!res) throw EResNotFound("Resource " + resName + " not found");
    std::string file = ResourceFileName(resName, kFormResourceType);
    if (file.empty()) file = resName + ".qfm";
    ReadComponentText(std::string_view(reinterpret_cast<const char*>(res->data()), res->size()), instance,
                      file);
}

void ReadComponentText(std::string_view text, TComponent* root, const std::string& fileName) {
    TFormDocument doc = ParseForm(text, fileName);
    TReader reader(doc);
    reader.ReadRootComponent(root);
}

void ReadComponentFile(const std::string& fileName, TComponent* root) {
    TFileStream f(fileName, fmOpenRead);
    std::string text = f.ReadAll();
    ReadComponentText(text, root, std::filesystem::path(fileName).filename().string());
}

TComponent* ReadComponent(std::string_view text, TComponent* owner, const std::string& fileName) {
    TFormDocument doc = ParseForm(text, fileName);
    TClass cls = GetClass(doc.Root.ClassName);
    if (!cls) throw EFormReadError(fileName, doc.Root.Line, "Class " + doc.Root.ClassName + " not found");
    if (!cls->InheritsFrom(TComponent::StaticClass()) || !cls->Create)
        throw EFormReadError(fileName, doc.Root.Line,
                             "Cannot create a " + doc.Root.ClassName + " from a form file");
    TObject* o = cls->Create(owner);
    auto* root = dynamic_cast<TComponent*>(o);
    if (!root) {
        delete o;
        throw EFormReadError(fileName, doc.Root.Line,
                             "Cannot create a " + doc.Root.ClassName + " from a form file");
    }
    try {
        TReader reader(doc);
        reader.ReadRootComponent(root);
    } catch (...) {
        delete root;
        throw;
    }
    return root;
}

TComponent* CreateComponent(TClass cls, TComponent* owner) {
    if (!cls || !cls->Create)
        throw EInvalidOperation("Cannot create an instance of " + (cls ? cls->Name : "nil"));
    TObject* o = cls->Create(owner);
    auto* c = dynamic_cast<TComponent*>(o);
    if (!c) {
        delete o;
        throw EInvalidOperation(cls->Name + " is not a component class");
    }
    try {
        c->AfterConstruction();
    } catch (...) {
        delete c;
        throw;
    }
    return c;
}

std::string WriteComponent(TComponent* root, TComponent* ancestor) {
    TWriter w;
    w.WriteDescendent(root, ancestor);
    return w.Text();
}

void WriteComponentFile(const std::string& fileName, TComponent* root, TComponent* ancestor) {
    std::string text = WriteComponent(root, ancestor);
    std::string tmp = fileName + ".tmp";
    {
        TFileStream f(tmp, fmCreate);
        f.WriteString(text);
        f.Flush();
    }
    if (std::rename(tmp.c_str(), fileName.c_str()) != 0) {
        int err = errno;
        std::remove(tmp.c_str());
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err));
    }
}

void RegisterGlobalRoot(TComponent* root) {
    if (root) TGlobalRoots::Get().Add(root);
}

void UnregisterGlobalRoot(TComponent* root) {
    if (root) TGlobalRoots::Get().Remove(root);
}

TComponent* FindGlobalComponent(std::string_view name) {
    return TGlobalRoots::Get().Find(name);
}

TComponent* FindNestedComponent(TComponent* root, std::string_view path) {
    auto parts = SplitDots(path);
    TComponent* cur = nullptr;
    if (root) {
        cur = root->FindComponent(parts[0]);
        if (!cur && SameText(root->GetName(), parts[0])) cur = root;
    }
    if (!cur) cur = TGlobalRoots::Get().Find(parts[0]);
    for (size_t i = 1; cur && i < parts.size(); ++i) cur = cur->FindComponent(parts[i]);
    return cur;
}

int PendingGlobalFixups() {
    return static_cast<int>(TGlobalRoots::Get().Pending.size());
}

} // namespace qel
