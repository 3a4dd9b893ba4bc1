#pragma once
// Events are delegates with identity: an object plus one of its member functions (the platform's
// "method pointer"). Two delegates bound to the same object and member compare equal, so event hubs
// can remove exactly the handler they added. A delegate can also wrap a callable (tests, glue code);
// such a delegate equals only its own copies.
#include <cstring>
#include <functional>
#include <memory>
#include <typeinfo>
#include <utility>

namespace qel {

class TObject;

// The untyped form of any delegate, as stored in property values and handler tables.
struct TMethod {
    void* Data = nullptr;                   // the bound object (as the member's class)
    void* Thunk = nullptr;                  // the typed caller
    alignas(void*) unsigned char Mem[16]{}; // the member function pointer, bytewise
    std::shared_ptr<void> Fn;               // a wrapped callable, when not a member
    const std::type_info* Signature = nullptr;

    explicit operator bool() const { return Thunk != nullptr; }
    bool operator==(const TMethod& o) const {
        return Data == o.Data && Thunk == o.Thunk && std::memcmp(Mem, o.Mem, sizeof Mem) == 0 && Fn == o.Fn;
    }
};

template <typename Sig>
class TEvent;

template <typename... A>
class TEvent<void(A...)> {
    using Thunk = void (*)(void* data, const unsigned char* mem, const void* fn, A... args);

public:
    using Signature = void(A...);

    TEvent() = default;
    TEvent(std::nullptr_t) {}

    // Binds a member function of `obj`.
    template <typename C, typename M>
        requires std::is_member_function_pointer_v<M C::*>
    TEvent(C* obj, M C::*member) {
        static_assert(sizeof(member) <= sizeof(FM.Mem));
        if (!obj || !member) return;
        FM.Data = static_cast<void*>(obj);
        std::memcpy(FM.Mem, &member, sizeof(member));
        Thunk t = [](void* data, const unsigned char* mem, const void*, A... args) {
            M C::*m;
            std::memcpy(&m, mem, sizeof(m));
            (static_cast<C*>(data)->*m)(std::forward<A>(args)...);
        };
        FM.Thunk = reinterpret_cast<void*>(t);
        FM.Signature = &typeid(Signature);
    }

    // Wraps any callable; the delegate equals only copies of itself.
    template <typename F>
        requires(!std::is_same_v<std::decay_t<F>, TEvent> && !std::is_same_v<std::decay_t<F>, std::nullptr_t> &&
                 std::is_invocable_v<F&, A...>)
    TEvent(F&& fn) {
        auto holder = std::make_shared<std::function<void(A...)>>(std::forward<F>(fn));
        FM.Fn = holder;
        Thunk t = [](void*, const unsigned char*, const void* f, A... args) {
            (*static_cast<const std::function<void(A...)>*>(f))(std::forward<A>(args)...);
        };
        FM.Thunk = reinterpret_cast<void*>(t);
        FM.Signature = &typeid(Signature);
    }

    // From the untyped form; a method of another signature gives an empty delegate.
    static TEvent FromMethod(const TMethod& m) {
        TEvent e;
        if (m.Signature && *m.Signature == typeid(Signature)) e.FM = m;
        return e;
    }
    const TMethod& Method() const { return FM; }

    explicit operator bool() const { return FM.Thunk != nullptr; }
    bool Assigned() const { return FM.Thunk != nullptr; }
    void* Data() const { return FM.Data; }

    void operator()(A... args) const {
        if (!FM.Thunk) return;
        reinterpret_cast<Thunk>(FM.Thunk)(FM.Data, FM.Mem, FM.Fn.get(), std::forward<A>(args)...);
    }

    bool operator==(const TEvent& o) const { return FM == o.FM; }
    bool operator==(std::nullptr_t) const { return !FM.Thunk; }

private:
    TMethod FM;
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;

} // namespace qel
