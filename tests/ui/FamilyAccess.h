#pragma once
// How tests reach a family of a control they know has it: ListOf(Find("x"))
// gives the ListControl. A control without the family (or none at all) fails
// the test right there with its name, instead of crashing on a null pointer.
#include "ui/Control.h"

#include <stdexcept>
#include <string>

namespace velkor::ui::test {

template <typename Family> Family& FamilyOf(const Control* control) {
    Family* family = As<Family>(control);
    if (family == nullptr) {
        // Google Test reports an exception as a failure of the test that threw it.
        throw std::logic_error(control == nullptr ? std::string("no such control")
                                                  : "'" + control->Name() + "' lacks the family");
    }
    return *family;
}

inline RangeControl& RangeOf(const Control* control) {
    return FamilyOf<RangeControl>(control);
}
inline ListControl& ListOf(const Control* control) {
    return FamilyOf<ListControl>(control);
}
inline SelectableControl& SelectableOf(const Control* control) {
    return FamilyOf<SelectableControl>(control);
}
inline PageControl& PagesOf(const Control* control) {
    return FamilyOf<PageControl>(control);
}
inline LightControl& LightOf(const Control* control) {
    return FamilyOf<LightControl>(control);
}
inline WaveformControl& WaveformOf(const Control* control) {
    return FamilyOf<WaveformControl>(control);
}

inline RangeControl& RangeOf(const Control& control) {
    return RangeOf(&control);
}
inline ListControl& ListOf(const Control& control) {
    return ListOf(&control);
}
inline SelectableControl& SelectableOf(const Control& control) {
    return SelectableOf(&control);
}
inline PageControl& PagesOf(const Control& control) {
    return PagesOf(&control);
}
inline LightControl& LightOf(const Control& control) {
    return LightOf(&control);
}
inline WaveformControl& WaveformOf(const Control& control) {
    return WaveformOf(&control);
}

} // namespace velkor::ui::test
