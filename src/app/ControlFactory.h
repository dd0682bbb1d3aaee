#pragma once
// The control factory: the program's own control classes, by the class names
// the layout files write, and what each one creates.
//
// The toolkits build every class they do not know as a plain container and
// ask a ui::ControlCreator about it. The factory says which names the program
// accepts; for a class with a maker, the maker attaches an object of that
// class to the container. A class registered without a maker (yet) builds as
// the plain container, so that a layout naming it still loads; its Part
// supplies the maker with SetMaker.
#include "ui/Toolkit.h"

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// An object the program attaches to a control of one of its classes. It lives
// as long as the creator that made it (normally: as long as the window).
class ControlObject {
public:
    virtual ~ControlObject() = default;
};

class ControlFactory {
public:
    using Maker = std::function<std::unique_ptr<ControlObject>(ui::Control& control)>;

    // Adds a class. False for an empty name or a name registered already.
    bool Register(std::string className, Maker maker = {});
    // Gives a registered class its maker. False for an unknown class.
    bool SetMaker(std::string_view className, Maker maker);
    bool Knows(std::string_view className) const;
    // Names in registration order.
    const std::vector<std::string>& ClassNames() const { return m_order; }
    // A new object for `control` of that class; null for an unknown class or one without a maker.
    std::unique_ptr<ControlObject> Create(std::string_view className, ui::Control& control) const;

private:
    std::vector<std::string> m_order;
    std::map<std::string, Maker, std::less<>> m_makers;
};

// The 24 control classes of the program, in registration order.
std::span<const std::string_view> ProgramControlClasses();
// Registers them all; returns how many were new.
int RegisterProgramControlClasses(ControlFactory& factory);

// The creator a window (or a dialog build) hands the toolkit: the factory's
// classes first, then `fallback` (the window's own creation callback), which
// may be null. Keeps the objects the factory made until it is destroyed.
class FactoryControlCreator final : public ui::ControlCreator {
public:
    // The factory (and the fallback) must outlive the creator.
    explicit FactoryControlCreator(const ControlFactory& factory, ui::ControlCreator* fallback = nullptr)
        : m_factory(factory), m_fallback(fallback) {}

    bool CanCreate(std::string_view className) const override;
    void ControlCreated(std::string_view className, ui::Control& control) override;

    // The object made for `control`, or null.
    ControlObject* ObjectOf(const ui::Control& control) const;
    size_t ObjectCount() const { return m_objects.size(); }

private:
    const ControlFactory& m_factory;
    ui::ControlCreator* m_fallback;
    std::vector<std::pair<const ui::Control*, std::unique_ptr<ControlObject>>> m_objects;
};

} // namespace velkor
