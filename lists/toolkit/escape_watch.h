#pragma once
// Escape during a long run inside one click (a print, the compound search):
// an application-wide event filter that sees Escape between the run's event
// passes.  `Held()` tells whether Escape is down now (auto-repeat changes
// nothing); `Pressed()` whether it went down at all since the watch began,
// even if released since.  With `dropInput` every other key, mouse, wheel and
// close event is dropped while the watch lives, so no window acts in the
// middle of the run; a close request counts as a press of Escape.

#include <QObject>

class EscapeHeldWatch : public QObject {
public:
    explicit EscapeHeldWatch(bool dropInput = false);
    ~EscapeHeldWatch() override;
    EscapeHeldWatch(const EscapeHeldWatch&) = delete;
    EscapeHeldWatch& operator=(const EscapeHeldWatch&) = delete;

    bool Held() const { return held_; }
    bool Pressed() const { return pressed_; }
    // Forgets a press acted on (the print asks once per press).
    void Forget() { held_ = pressed_ = false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool dropInput_;
    bool held_ = false;
    bool pressed_ = false;
};
