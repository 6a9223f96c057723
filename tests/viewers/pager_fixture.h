#pragma once
// What the tests of the pages with a rich text share: a back buffer made as
// the main window makes one (the page font at 10 points, its measures in the
// page state), and a point on a given piece of the shown text.

#include <gtest/gtest.h>

#include <string>

#include "frame/pages/page.h"
#include "platform/gui/canvas.h"
#include "viewers/ctrl_pager.h"

inline void SetUpPageCanvas(PageState& state, ImageCanvas& back, int width, int height)
{
    state.pageFont.size = 10;
    back.Resize(width, height);
    back.SetFont(state.pageFont);
    state.lineHeight = back.TextHeight("\xC8g");
    state.sampleWidth = back.TextWidth(kSampleSentence);
}

// A point whose hit falls on the `which`-th byte of `text` (the view's text,
// data code page) as the pager shows it now.
inline Point PointOnText(CtrlTextPager& pager, const std::string& text, int which = 1)
{
    const size_t at = pager.view.text.find(text);
    EXPECT_NE(at, std::string::npos) << text;
    const int target = static_cast<int>(at) + which;
    const Rect r = pager.TextRect();
    for (int y = r.top + 1; y < r.bottom; y += 2)
        for (int x = r.left + 1; x < r.right; x += 2) {
            int line = 0;
            int offset = 0;
            if (pager.HitTest({x, y}, line, offset) &&
                pager.view.lines[static_cast<size_t>(line - 1)].start - 1 + offset == target)
                return {x, y};
        }
    ADD_FAILURE() << "no point on " << text;
    return {};
}
