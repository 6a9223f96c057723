#pragma once
// A help page on a back buffer of its own size, as the main window makes
// one: the page font at 10 points, its measures in the page state.

#include <memory>

#include "frame/pages/page.h"
#include "pager_fixture.h"
#include "platform/gui/canvas.h"
#include "viewers/help_page.h"

inline std::unique_ptr<THlpWin> MakeHelpPage(PageState& state, ImageCanvas& back, int width, int height,
                                             char mode, HelpPageServices services)
{
    SetUpPageCanvas(state, back, width, height);
    services.textFont = state.pageFont;
    services.printFont = state.pageFont;
    auto page = std::make_unique<THlpWin>(state, back, width, height, mode, std::move(services));
    page->Build();
    page->Layout();
    return page;
}
