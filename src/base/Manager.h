#pragma once
// Named registries of loaded resources. A Manager keeps values by name for the whole run; a
// UseManager also tracks the one resource in use and binds it through its subclass. Lookups of
// unknown names and an unuse with nothing in use end the program through fatalError.
#include <map>
#include <string>

#include "base/FatalError.h"

namespace rovena {

template <class T> class Manager {
public:
    virtual ~Manager() = default;
    // The word messages use for this kind of resource ("texture", "model", ...).
    virtual std::string typeName() const = 0;

    const T& get(const std::string& name) const {
        auto found = entries.find(name);
        if (found == entries.end()) fatalError("No such %s: '%s'.", typeName().c_str(), name.c_str());
        return found->second;
    }
    T& get(const std::string& name) { return const_cast<T&>(static_cast<const Manager&>(*this).get(name)); }
    // Finds or default-constructs the entry; references stay valid while the manager lives.
    T& entry(const std::string& name) { return entries[name]; }
    bool has(const std::string& name) const { return entries.count(name) != 0; }

    std::map<std::string, T> entries;
};

template <class T> class UseManager : public Manager<T> {
public:
    // Name of the resource in use; empty when none is.
    std::string current;

    virtual void bind(const std::string& name) { (void)name; }
    virtual void unbind() {}

    // No stack: a second use replaces the first without unbinding it.
    void use(const std::string& name) {
        this->get(name);
        current = name;
        bind(name);
    }
    // unbind runs while `current` still names the resource, so it can look it up.
    void unuse() {
        if (current.empty()) fatalError("Cannot unuse: No %s in use.", this->typeName().c_str());
        unbind();
        current.clear();
    }
};

// One resource of a registry in use for the length of a scope: use on entry, unuse on leaving.
// Whatever the use sets up (a render target's framebuffer and viewport, a material's program)
// comes back in the same function that asked for it.
template <class Registry> class UseScope {
public:
    UseScope(Registry& registry, const std::string& name) : registry(registry) { registry.use(name); }
    ~UseScope() { registry.unuse(); }
    UseScope(const UseScope&) = delete;
    UseScope& operator=(const UseScope&) = delete;

private:
    Registry& registry;
};

} // namespace rovena
