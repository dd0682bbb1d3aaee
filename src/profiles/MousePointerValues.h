#pragma once
// A mouse profile's system settings as the desktop's pointer settings take them.
#include "platform/desktop/PointerValues.h"
#include "profiles/ProfileRecords.h"

namespace velkor {

inline PointerValues PointerValuesOf(const MouseSystemRecord& record) {
    PointerValues values;
    values.speed = record.mouseSpeed;
    values.precision = record.pointerPrecision;
    values.doubleClickMs = record.doubleClickTime;
    values.wheelLines = record.wheelScrollLines;
    values.pageScroll = record.scrollPage;
    return values;
}

} // namespace velkor
