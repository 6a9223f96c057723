#pragma once
// Placement records as the scheme and placement tests write them: one line
// each, the category following from the window kind.

#include "frame/config/placement_scheme.h"

namespace test_support {

// The record of window kind `kind` ("DNA") in `scheme` at the given rectangle.
inline PlacementRecord Rec(int scheme, const char* kind, int left, int top, int width, int height)
{
    PlacementRecord r;
    r.scheme = static_cast<uint8_t>(scheme);
    r.kind = PackKindCode(kind);
    r.category = CategoryOfKind(r.kind);
    r.left = left;
    r.top = top;
    r.width = width;
    r.height = height;
    return r;
}

} // namespace test_support
