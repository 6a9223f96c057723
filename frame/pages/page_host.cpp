#include "frame/pages/page_host.h"

#include "frame/pages/hint_window.h"

PageHost::PageHost(const CanvasFont& pageFont)
{
    SetPageFont(pageFont);
}

PageHost::~PageHost()
{
    page_.reset();
    backBuffer_.EndPaint();
}

void PageHost::SetPageFont(const CanvasFont& font)
{
    state_.pageFont = font;
    backBuffer_.SetFont(font);
    state_.lineHeight = backBuffer_.TextHeight("\xC8g"); // "Čg"
    state_.sampleWidth = backBuffer_.TextWidth(kSampleSentence);
}

void PageHost::Resize(int width, int height)
{
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    backBuffer_.Resize(width_, height_, background_);
    if (page_) {
        page_->width = width_;
        page_->height = height_;
        page_->Layout();
    }
    paintDeferred_ = true;
}

void PageHost::SetPage(std::unique_ptr<TPraded> page)
{
    ClearPage();
    page_ = std::move(page);
    if (!page_)
        return;
    page_->canvas = &backBuffer_;
    page_->width = width_;
    page_->height = height_;
    page_->Build();
    page_->Layout();
    // The first frame is the host's own business: the page's repaint flag
    // stays clear, so its first Tick already tracks the mouse.
    paintDeferred_ = true;
}

void PageHost::ClearPage()
{
    HideHint();
    page_.reset();
}

int32_t PageHost::SendEvent(int32_t code, uint8_t shift)
{
    if (!page_)
        return code;
    int32_t result = page_->HandleEvent(code, shift);
    if (result == PageEvent::Relayout) {
        page_->Layout();
        result = PageEvent::Repaint;
    }
    if (result == PageEvent::Repaint)
        page_->repaint = true;
    return result;
}

void PageHost::TimerTick()
{
    state_.tick += 1;
    if (!page_)
        return;
    if (state_.tick % 2 == 1) {
        page_->Tick();
        return;
    }
    if (page_->repaint || paintDeferred_)
        PaintNow();
}

void PageHost::PaintNow()
{
    if (!page_)
        return;
    page_->canvas = &backBuffer_;
    page_->Paint();
    backBuffer_.EndPaint();
    page_->repaint = false;
    paintDeferred_ = false;
    ++framesPainted_;
    if (onFrameReady)
        onFrameReady(backBuffer_.Image());
}

void PageHost::MouseMove(Point point, uint8_t shift)
{
    state_.NoteMouseMove(point, shift);
}

void PageHost::HideHint()
{
    if (state_.hintWindow != nullptr)
        state_.hintWindow->HideHint();
    state_.hintShown = false;
}
