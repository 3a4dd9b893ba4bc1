#pragma once
// TObject, metaclasses and the class registry, and the published-property tables that drive
// streaming, Assign helpers and the property lists shown by tools.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/core/events.h"
#include "platform/core/exceptions.h"
#include "platform/core/typeinfo.h"

namespace qel {

class TObject;
class TPersistent;
class TComponent;
struct TClassInfo;
using TClass = const TClassInfo*;

// Value kinds of published properties.
enum class TTypeKind {
    Integer,     // int (32-bit)
    Int64,       // int64_t
    Boolean,     // bool, streamed as False/True
    Enumeration, // QEL_ENUM types, streamed by identifier
    Set,         // Set<E>, streamed as [a, b]
    Float,       // double (also dates and currency)
    String,      // std::string (UTF-8)
    Color,       // TColor, streamed as cl-identifier or integer
    Class,       // an owned TPersistent (nested properties, TStrings, TCollection, TFont ...)
    Component,   // a reference to another component, fixed up after loading
    Method,      // an event, bound by method name through the root's handler table
};

// A property value in untyped form. Ordinals, sets (bit masks) and colours are int64_t.
using TValue = std::variant<std::monostate, int64_t, double, std::string, TObject*, TMethod>;

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::Integer;
    const TEnumInfo* Enum = nullptr;           // Enumeration, and the element type of a Set
    TClass PropClass = nullptr;                // Class and Component kinds (nullptr: any)
    const std::type_info* EventType = nullptr; // Method kind: the TEvent<...> signature
    const TIntegerIdents* IntIdents = nullptr; // Integer kinds: names of some values
    std::function<TValue(const TObject*)> Get;
    std::function<void(TObject*, const TValue&)> Set; // empty for Class kind (read in place)
    bool HasDefault = false;
    TValue Default;                             // compared with the current value by the writer
    std::function<bool(const TObject*)> Stored; // empty: stored unless equal to the default

    bool IsReadOnly() const { return !Set; }
    // Whether the writer should store this property of `obj` (stored-predicate, then default).
    bool IsStored(const TObject* obj) const;
};

// An entry of a class's handler table: a published method that form files may bind by name.
struct TMethodEntry {
    std::string Name;
    const std::type_info* Signature = nullptr;
    std::function<TMethod(TObject* root)> Bind; // empty TMethod when root is not of the class
};

struct TClassInfo {
    std::string Name;
    TClass Parent = nullptr;
    // Constructs an instance; for components the argument is the owner. Empty for abstract classes.
    std::function<TObject*(TComponent* owner)> Create;
    std::vector<TPropInfo> OwnProperties;
    std::vector<TMethodEntry> OwnMethods;

    bool InheritsFrom(TClass other) const;
    // All published properties: ancestors' first, each class's in declaration order.
    std::vector<const TPropInfo*> Properties() const;
    // Case-insensitive; nullptr when the class has no such property.
    const TPropInfo* FindProperty(std::string_view name) const;
    const TMethodEntry* FindMethod(std::string_view name) const;
};

class TObject {
public:
    virtual ~TObject() = default;
    static TClass StaticClass();
    virtual TClass ClassType() const { return StaticClass(); }
    const std::string& ClassName() const { return ClassType()->Name; }
    bool InheritsFrom(TClass cls) const { return ClassType()->InheritsFrom(cls); }
    template <typename T>
    bool Is() const {
        return dynamic_cast<const T*>(this) != nullptr;
    }
};

// Place at the top of a class body (leaves the access at public):
//   class TqelEdgePanel : public TqelCustomEdgePanel { QEL_CLASS(TqelEdgePanel, TqelCustomEdgePanel) ... };
#define QEL_CLASS(Class, Parent)                                                                             \
public:                                                                                                      \
    using inherited = Parent;                                                                                \
    static ::qel::TClass StaticClass();                                                                      \
    ::qel::TClass ClassType() const override {                                                               \
        return StaticClass();                                                                                \
    }

// ---- class registry --------------------------------------------------------------------------------

// Registers a class so FindClass/GetClass and form files can find it by name (idempotent).
void RegisterClass(TClass cls);
void RegisterClasses(std::initializer_list<TClass> classes);
void UnRegisterClass(TClass cls);
// Case-insensitive; nullptr when unknown.
TClass GetClass(std::string_view name);
// Raises EClassNotFound ("Class TFoo not found") when unknown.
TClass FindClass(std::string_view name);
std::vector<TClass> RegisteredClasses();

// ---- class builder ---------------------------------------------------------------------------------

namespace detail {
template <typename T>
TValue ToValue(const T& v);
template <typename T>
T FromValue(const TValue& v);
template <typename T>
constexpr TTypeKind KindOf();
} // namespace detail

class TClassBuilderBase {
public:
    explicit TClassBuilderBase(TClassInfo& info) : FInfo(info) {}

    // Modifiers apply to the property declared last.
    TClassBuilderBase& Default(TValue v) {
        Last().HasDefault = true;
        Last().Default = std::move(v);
        return *this;
    }
    TClassBuilderBase& NoDefault() {
        Last().HasDefault = false;
        return *this;
    }
    // Last property: integer values that form files may give by name (crHandPoint, mrOk).
    TClassBuilderBase& Idents(const TIntegerIdents* idents) {
        Last().IntIdents = idents;
        return *this;
    }

protected:
    TPropInfo& Last() { return FInfo.OwnProperties.back(); }
    TClassInfo& FInfo;
};

template <typename C>
class TClassBuilder : public TClassBuilderBase {
public:
    using TClassBuilderBase::TClassBuilderBase;

    // A property with getter and setter: P(name, &C::GetX, &C::SetX). The kind follows the value type.
    template <typename R, typename S, typename CG, typename CS>
    TClassBuilder& Property(const char* name, R (CG::*get)() const, void (CS::*set)(S)) {
        using T = std::remove_cvref_t<R>;
        static_assert(std::is_same_v<T, std::remove_cvref_t<S>>, "getter and setter types differ");
        TPropInfo p = MakeInfo<T>(name);
        p.Get = [get](const TObject* o) { return detail::ToValue<T>((static_cast<const C*>(o)->*get)()); };
        p.Set = [set](TObject* o, const TValue& v) { (static_cast<C*>(o)->*set)(detail::FromValue<T>(v)); };
        SetDefaultFor<T>(p);
        FInfo.OwnProperties.push_back(std::move(p));
        return *this;
    }

    // An owned persistent object read and written in place: Object(name, &C::GetFont).
    template <typename T, typename CG>
    TClassBuilder& Object(const char* name, T* (CG::*get)() const) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Class;
        p.PropClass = T::StaticClass();
        p.Get = [get](const TObject* o) {
            return TValue(static_cast<TObject*>((static_cast<const C*>(o)->*get)()));
        };
        FInfo.OwnProperties.push_back(std::move(p));
        return *this;
    }

    // An owned persistent object with a setter that assigns (Picture, Font): the reader still
    // reads in place; the setter serves Assign helpers.
    template <typename T, typename CG, typename CS>
    TClassBuilder& Object(const char* name, T* (CG::*get)() const, void (CS::*set)(T*)) {
        Object(name, get);
        Last().Set = [set](TObject* o, const TValue& v) {
            (static_cast<C*>(o)->*set)(dynamic_cast<T*>(std::get<TObject*>(v)));
        };
        return *this;
    }

    // An event property: Event(name, &C::GetOnClick, &C::SetOnClick).
    template <typename Sig, typename CG, typename CS>
    TClassBuilder& Event(const char* name, TEvent<Sig> (CG::*get)() const, void (CS::*set)(TEvent<Sig>)) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::Method;
        p.EventType = &typeid(Sig);
        p.Get = [get](const TObject* o) { return TValue((static_cast<const C*>(o)->*get)().Method()); };
        p.Set = [set](TObject* o, const TValue& v) {
            (static_cast<C*>(o)->*set)(TEvent<Sig>::FromMethod(std::get<TMethod>(v)));
        };
        FInfo.OwnProperties.push_back(std::move(p));
        return *this;
    }

    // A published method that form files can bind by name: Method("Button1Click", &TForm1::Button1Click).
    template <typename M, typename CM>
    requires std::is_member_function_pointer_v<M CM::*> TClassBuilder& Method(const char* name,
                                                                              M CM::*member) {
        TMethodEntry e;
        e.Name = name;
        e.Signature = &typeid(typename MemberSig<M>::Sig);
        e.Bind = [member](TObject* root) {
            auto* c = dynamic_cast<C*>(root);
            if (!c) return TMethod{};
            return TEvent<typename MemberSig<M>::Sig>(static_cast<CM*>(c), member).Method();
        };
        FInfo.OwnMethods.push_back(std::move(e));
        return *this;
    }

    // Last property: stored only when the predicate holds (the platform's "stored" clause).
    TClassBuilder& Stored(bool (C::*pred)() const) {
        Last().Stored = [pred](const TObject* o) { return (static_cast<const C*>(o)->*pred)(); };
        return *this;
    }
    TClassBuilder& Stored(bool always) {
        Last().Stored = [always](const TObject*) { return always; };
        return *this;
    }
    template <typename T>
    TClassBuilder& Default(T v) {
        Last().HasDefault = true;
        Last().Default = detail::ToValue<T>(v);
        return *this;
    }
    TClassBuilder& Default(const char* v) {
        Last().HasDefault = true;
        Last().Default = std::string(v);
        return *this;
    }
    TClassBuilder& NoDefault() {
        Last().HasDefault = false;
        return *this;
    }
    TClassBuilder& Idents(const TIntegerIdents* idents) {
        Last().IntIdents = idents;
        return *this;
    }

private:
    template <typename M>
    struct MemberSig;
    template <typename... A>
    struct MemberSig<void(A...)> {
        using Sig = void(A...);
    };

    template <typename T>
    static TPropInfo MakeInfo(const char* name) {
        TPropInfo p;
        p.Name = name;
        p.Kind = detail::KindOf<T>();
        if constexpr (StreamableEnum<T>)
            p.Enum = &EnumInfo<T>();
        else if constexpr (IsSet<T>::value)
            p.Enum = &EnumInfo<typename IsSet<T>::Element>();
        else if constexpr (std::is_pointer_v<T>)
            p.PropClass = std::remove_pointer_t<T>::StaticClass();
        return p;
    }
    template <typename T>
    static void SetDefaultFor(TPropInfo& p) {
        // Ordinal properties without a declared default are always stored (the platform's
        // "nodefault"); strings default to empty, references to nil, floats to 0.
        if constexpr (std::is_same_v<T, std::string>) {
            p.HasDefault = true;
            p.Default = std::string();
        } else if constexpr (std::is_pointer_v<T>) {
            p.HasDefault = true;
            p.Default = static_cast<TObject*>(nullptr);
        } else if constexpr (std::is_floating_point_v<T>) {
            p.HasDefault = true;
            p.Default = 0.0;
        }
    }
};

namespace detail {
template <typename T>
constexpr TTypeKind KindOf() {
    if constexpr (std::is_same_v<T, bool>)
        return TTypeKind::Boolean;
    else if constexpr (std::is_same_v<T, TColor>)
        return TTypeKind::Color;
    else if constexpr (StreamableEnum<T>)
        return TTypeKind::Enumeration;
    else if constexpr (IsSet<T>::value)
        return TTypeKind::Set;
    else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, uint32_t>)
        return TTypeKind::Int64;
    else if constexpr (std::is_integral_v<T>)
        return TTypeKind::Integer;
    else if constexpr (std::is_floating_point_v<T>)
        return TTypeKind::Float;
    else if constexpr (std::is_same_v<T, std::string>)
        return TTypeKind::String;
    else if constexpr (std::is_pointer_v<T>)
        return TTypeKind::Component;
    else
        static_assert(sizeof(T) == 0, "unsupported published property type");
}
template <typename T>
TValue ToValue(const T& v) {
    if constexpr (std::is_same_v<T, std::string>)
        return TValue(v);
    else if constexpr (std::is_floating_point_v<T>)
        return TValue(static_cast<double>(v));
    else if constexpr (IsSet<T>::value)
        return TValue(static_cast<int64_t>(v.Bits()));
    else if constexpr (std::is_pointer_v<T>)
        return TValue(const_cast<TObject*>(static_cast<const TObject*>(v)));
    else
        return TValue(static_cast<int64_t>(v));
}
template <typename T>
T FromValue(const TValue& v) {
    if constexpr (std::is_same_v<T, std::string>)
        return std::get<std::string>(v);
    else if constexpr (std::is_floating_point_v<T>) {
        if (auto* i = std::get_if<int64_t>(&v)) return static_cast<T>(*i);
        return static_cast<T>(std::get<double>(v));
    } else if constexpr (IsSet<T>::value)
        return T::FromBits(static_cast<uint64_t>(std::get<int64_t>(v)));
    else if constexpr (std::is_pointer_v<T>)
        return dynamic_cast<T>(std::get<TObject*>(v));
    else
        return static_cast<T>(std::get<int64_t>(v));
}
} // namespace detail

namespace detail {
template <typename C>
TObject* CreateInstance(TComponent* owner) {
    if constexpr (std::is_abstract_v<C>)
        return nullptr;
    else if constexpr (std::is_constructible_v<C, TComponent*>)
        return new C(owner);
    else if constexpr (std::is_default_constructible_v<C>)
        return new C();
    else
        return nullptr;
}
template <typename C>
constexpr bool Creatable =
    !std::is_abstract_v<C> && (std::is_constructible_v<C, TComponent*> || std::is_default_constructible_v<C>);
TClass RegisterOnLoad(TClass cls); // adds to the registry at program start; returns cls
} // namespace detail

// Defines the metaclass of a class declared with QEL_CLASS, with its published properties and
// methods, and registers it at program start:
//   QEL_IMPLEMENT_CLASS(TqelEdgePanel, [](auto& c) {
//       c.Property("BevelEdges", &TqelEdgePanel::GetBevelEdges, &TqelEdgePanel::SetBevelEdges)
//        .Default(qel::Set<TBevelEdge>{beLeft, beTop, beRight, beBottom});
//   })
#define QEL_IMPLEMENT_CLASS(Class, ...)                                                                      \
    ::qel::TClass Class::StaticClass() {                                                                     \
        static const ::qel::TClassInfo info = [] {                                                           \
            ::qel::TClassInfo i;                                                                             \
            i.Name = #Class;                                                                                 \
            i.Parent = Class::inherited::StaticClass();                                                      \
            if constexpr (::qel::detail::Creatable<Class>)                                                   \
                i.Create = [](::qel::TComponent* owner) {                                                    \
                    return ::qel::detail::CreateInstance<Class>(owner);                                      \
                };                                                                                           \
            ::qel::TClassBuilder<Class> builder(i);                                                          \
            auto declare = [](::qel::TClassBuilder<Class>& b) {                                              \
                (void)b;                                                                                     \
                __VA_OPT__((__VA_ARGS__)(b);)                                                                \
            };                                                                                               \
            declare(builder);                                                                                \
            return i;                                                                                        \
        }();                                                                                                 \
        return &info;                                                                                        \
    }                                                                                                        \
    [[maybe_unused]] static const ::qel::TClass qel_registered_##Class =                                     \
        ::qel::detail::RegisterOnLoad(Class::StaticClass());

} // namespace qel
